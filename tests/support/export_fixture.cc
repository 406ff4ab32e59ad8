#include "support/export_fixture.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "quillmar_pst.h"

namespace quillmar_test {

namespace fs = std::filesystem;

ExportTest::ExportTest() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "_" + info->name();
  std::replace(name.begin(), name.end(), '/', '_');
  work_ = fs::temp_directory_path() / ("quillmar_" + std::to_string(::getpid()) + "_" + name);
  fs::remove_all(work_);
  fs::create_directories(work_);
}

ExportTest::~ExportTest() {
  std::error_code ignored;
  fs::permissions(work_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(work_, ignored);
}

fakepff::Node& ExportTest::AddMail(fakepff::Node& folder, const std::string& subject,
                                   const std::string& body) {
  fakepff::Node& message = folder.add_message();
  message.set_unicode(0x0037, subject);
  message.set_plain_text_body(body);
  return message;
}

RunOutput ExportTest::Export() {
  return ExportWith(Wide(archive_path()).c_str(), Wide(output_dir()).c_str());
}

RunOutput ExportTest::ExportWith(const wchar_t* pst_path, const wchar_t* output_dir) {
  if (!fs::exists(archive_path())) std::ofstream(archive_path()) << "fake";
  fakepff::ArchiveRegistration registration(archive_path().string(), archive_);
  return CaptureConsole([&] { return pst_export_to_txt_w(pst_path, output_dir); });
}

std::string ExportTest::ReadOutput(const std::string& relative) const {
  std::ifstream in(output_dir() / relative, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << relative;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool ExportTest::OutputExists(const std::string& relative) const {
  return fs::exists(output_dir() / relative);
}

std::vector<std::string> ExportTest::ListOutput(const std::string& relative) const {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(output_dir() / relative, error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::wstring ExportTest::Wide(const fs::path& path) {
  const std::string text = path.string();
  return std::wstring(text.begin(), text.end());
}

}  // namespace quillmar_test
