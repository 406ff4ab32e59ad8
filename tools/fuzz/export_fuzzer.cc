// libFuzzer target: each input is an archive, exported in full through the
// library's C entry point with one walker, into a scratch directory emptied
// before each run (under /dev/shm when it can be written, else $TMPDIR or
// /tmp). The export's standard output is discarded; its standard error, where
// the sanitizers report, is not. Mutations go through archive_mutator.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "archive_mutator.h"
#include "quillmar_pst.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t max_size);

namespace {

namespace fs = std::filesystem;

struct Scratch {
  fs::path root;         // this process's directory, removed at exit
  std::wstring archive;  // each input, written as the archive
  std::wstring output;   // the export's output directory
};

Scratch* scratch = nullptr;

fs::path scratch_base() {
  if (access("/dev/shm", W_OK) == 0) return "/dev/shm";
  const char* tmp = std::getenv("TMPDIR");
  return tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
}

void remove_scratch() {
  std::error_code ignored;
  fs::remove_all(scratch->root, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("QUILLMAR_THREADS", "1", 1);
  const int null_fd = open("/dev/null", O_WRONLY);
  if (null_fd >= 0) {
    dup2(null_fd, STDOUT_FILENO);
    close(null_fd);
  }
  scratch = new Scratch;
  scratch->root = scratch_base() / ("quillmar-fuzz-" + std::to_string(getpid()));
  fs::create_directories(scratch->root);
  scratch->archive = (scratch->root / "fuzz.pst").wstring();
  scratch->output = (scratch->root / "out").wstring();
  std::atexit(remove_scratch);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::error_code ignored;
  fs::remove_all(scratch->output, ignored);
  std::ofstream archive(fs::path(scratch->archive), std::ios::binary | std::ios::trunc);
  archive.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  archive.close();
  if (!archive) {
    std::fprintf(stderr, "export_fuzzer: cannot write the input into %s\n",
                 fs::path(scratch->archive).c_str());
    std::abort();
  }
  pst_export_to_txt_w(scratch->archive.c_str(), scratch->output.c_str());
  return 0;
}

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t max_size,
                                          unsigned int seed) {
  return quillmar_fuzz::mutate_archive(data, size, max_size, seed, LLVMFuzzerMutate);
}

extern "C" size_t LLVMFuzzerCustomCrossOver(const uint8_t* first, size_t first_size,
                                            const uint8_t* second, size_t second_size,
                                            uint8_t* out, size_t max_out, unsigned int seed) {
  return quillmar_fuzz::cross_over_archives(first, first_size, second, second_size, out, max_out,
                                            seed);
}
