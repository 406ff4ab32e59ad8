// Loads QuillmarPST.so the way a host program does (dlopen, dlsym of the two
// plain names) and exports a real archive through it, twice at once.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

// Relative path -> contents of every file under root.
std::map<std::string, std::string> read_tree(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    tree[fs::relative(entry.path(), root).string()] = std::string(std::istreambuf_iterator<char>(in), {});
  }
  return tree;
}

TEST(LibraryHost, TwoRunsInTwoThreadsWriteWhatOneRunWrites) {
  void* handle = dlopen(QUILLMAR_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  const auto version = reinterpret_cast<const char* (*)()>(dlsym(handle, "pst_reader_version"));
  const auto export_to = reinterpret_cast<int32_t (*)(const wchar_t*, const wchar_t*)>(
      dlsym(handle, "pst_export_to_txt_w"));
  ASSERT_TRUE(version != nullptr && export_to != nullptr);

  const fs::path work = fs::temp_directory_path() / ("quillmar_host_" + std::to_string(::getpid()));
  const std::wstring archive = (fs::path(QUILLMAR_ARCHIVE_DIR) / "enron.pst").wstring();
  auto run = [&](const char* out, int32_t* result) {
    *result = export_to(archive.c_str(), (work / out).wstring().c_str());
  };
  int32_t alone = 0, first = 0, second = 0;
  run("alone", &alone);
  std::thread a(run, "a", &first);
  std::thread b(run, "b", &second);
  a.join();
  b.join();
  EXPECT_TRUE(alone == 71 && first == 71 && second == 71) << alone << ", " << first << ", " << second;
  const auto expected = read_tree(work / "alone");
  EXPECT_EQ(expected.size(), 71u * 4 + 70) << "mail.txt, headers.txt, debug_fields.txt, mail.ok; attachments";
  EXPECT_TRUE(read_tree(work / "a") == expected);
  EXPECT_TRUE(read_tree(work / "b") == expected);
  fs::remove_all(work);
  dlclose(handle);
}

}  // namespace
