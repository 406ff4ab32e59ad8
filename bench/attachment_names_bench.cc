// Cost per attachment of exporting one message whose N attachments all carry
// the same name, for N from 10 to 10,000: with linear naming the per-
// attachment cost stays flat. Usage: attachment_names_bench [WORK_DIR]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "archive.h"
#include "archive_writer.h"
#include "quillmar_pst.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "names_bench";
  fs::create_directories(work);
  std::printf("%8s %12s %16s\n", "N", "export (s)", "us / attachment");
  for (int n : {10, 100, 1000, 10000}) {
    pstgen::Archive archive;
    pstgen::Message& message = archive.add_folder(archive.ipm_subtree(), "Inbox").add_message();
    message.set_unicode(0x001A, "IPM.Note").set_unicode(0x0037, "same names");
    for (int i = 0; i < n; ++i) message.add_attachment({"same.pdf", "", "x"});
    const fs::path pst = work / ("same" + std::to_string(n) + ".pst");
    const fs::path out = work / ("out" + std::to_string(n));
    pstgen::write_file(archive, pst.string());
    const std::string p = pst.string(), o = out.string();
    const auto start = std::chrono::steady_clock::now();
    std::fflush(stdout);
    const int saved = dup(1);
    freopen("/dev/null", "w", stdout);
    const int32_t result = pst_export_to_txt_w(std::wstring(p.begin(), p.end()).c_str(),
                                               std::wstring(o.begin(), o.end()).c_str());
    std::fflush(stdout);
    dup2(saved, 1);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%8d %12.3f %16.1f%s\n", n, seconds, 1e6 * seconds / n, result == 1 ? "" : "  FAILED");
  }
  fs::remove_all(work);
  return 0;
}
