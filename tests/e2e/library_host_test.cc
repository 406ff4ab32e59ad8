// Loads QuillmarPST.so the way a host program does (dlopen, dlsym of the two
// plain names) and exports real archives through it.
#include <dlfcn.h>

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

using ExportFn = int32_t (*)(const wchar_t*, const wchar_t*);
using VersionFn = const char* (*)();

class LibraryHost : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(QUILLMAR_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    export_ = reinterpret_cast<ExportFn>(dlsym(handle_, "pst_export_to_txt_w"));
    version_ = reinterpret_cast<VersionFn>(dlsym(handle_, "pst_reader_version"));
    ASSERT_NE(export_, nullptr);
    ASSERT_NE(version_, nullptr);
    work_ = fs::temp_directory_path() /
            ("quillmar_host_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(work_);
    fs::create_directories(work_);
  }
  void TearDown() override {
    fs::remove_all(work_);
    if (handle_ != nullptr) dlclose(handle_);
  }

  static std::wstring wide(const fs::path& path) {
    const std::string text = path.string();
    return std::wstring(text.begin(), text.end());  // test paths are ASCII
  }

  int32_t export_archive(const fs::path& archive, const fs::path& out) {
    return export_(wide(archive).c_str(), wide(out).c_str());
  }

  void* handle_ = nullptr;
  ExportFn export_ = nullptr;
  VersionFn version_ = nullptr;
  fs::path work_;
};

const fs::path kEnron = fs::path(QUILLMAR_ARCHIVE_DIR) / "enron.pst";

// Relative path -> contents of every file under root.
std::map<std::string, std::string> read_tree(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    tree[fs::relative(entry.path(), root).string()] =
        std::string(std::istreambuf_iterator<char>(in), {});
  }
  return tree;
}

TEST_F(LibraryHost, VersionIsOneStaticText) {
  const char* first = version_();
  EXPECT_STREQ(first, "pst_reader_dll_1.0");
  EXPECT_EQ(first, version_());
}

TEST_F(LibraryHost, RejectsNullAndMissingArchivesWithoutCreatingOutput) {
  const std::wstring out = wide(work_ / "out");
  EXPECT_EQ(export_(nullptr, out.c_str()), -10);
  EXPECT_EQ(export_(L"/x", nullptr), -10);
  EXPECT_EQ(export_(wide(work_ / "missing.pst").c_str(), out.c_str()), -1);
  EXPECT_FALSE(fs::exists(work_ / "out"));
}

TEST_F(LibraryHost, ExportCountsEveryMessageDirectory) {
  const int32_t result = export_archive(kEnron, work_ / "out");
  ASSERT_EQ(result, 71);
  EXPECT_EQ(std::distance(fs::directory_iterator(work_ / "out"), fs::directory_iterator()), 71);
  EXPECT_TRUE(fs::exists(work_ / "out" / "enron_00000071" / "mail.txt"));
}

TEST_F(LibraryHost, TwoRunsInTwoThreadsWriteWhatOneRunWrites) {
  ASSERT_EQ(export_archive(kEnron, work_ / "alone"), 71);
  int32_t first = 0;
  int32_t second = 0;
  std::thread a([&] { first = export_archive(kEnron, work_ / "a"); });
  std::thread b([&] { second = export_archive(kEnron, work_ / "b"); });
  a.join();
  b.join();
  EXPECT_EQ(first, 71);
  EXPECT_EQ(second, 71);
  const auto alone = read_tree(work_ / "alone");
  EXPECT_TRUE(read_tree(work_ / "a") == alone);
  EXPECT_TRUE(read_tree(work_ / "b") == alone);
}

}  // namespace
