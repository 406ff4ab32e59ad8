#include "support/export_fixture.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "archive_writer.h"
#include "quillmar_pst.h"
#include "support/test_platform.h"

namespace quillmar_test {

namespace fs = std::filesystem;

ExportTest::ExportTest() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "_" + info->name();
  std::replace(name.begin(), name.end(), '/', '_');
  work_ = fs::temp_directory_path() / ("quillmar_" + ProcessId() + "_" + name);
  fs::remove_all(work_);
  fs::create_directories(work_);
  libpff_faults::clear_faults();
  EXPECT_TRUE(CanUseTimeZone("UTC0")) << "the tests need a process started with TZ=UTC here";
  SetTimeZone("UTC0");
  // Faults are injected by call number, which only one walker keeps in order.
  SetEnvironment("QUILLMAR_THREADS", "1");
}

ExportTest::~ExportTest() {
  std::error_code ignored;
  fs::permissions(work_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(work_, ignored);
}

void ExportTest::TearDown() {
  EXPECT_EQ(libpff_faults::leaks(), "") << "libpff objects not released";
  libpff_faults::clear_faults();
}

pstgen::Folder& ExportTest::inbox() {
  if (inbox_ == nullptr) inbox_ = &archive_.add_folder(archive_.ipm_subtree(), "Inbox");
  return *inbox_;
}

pstgen::Message& ExportTest::AddMail(const std::string& subject, const std::string& body,
                                     pstgen::Folder* folder) {
  pstgen::Message& message = (folder != nullptr ? *folder : inbox()).add_message();
  message.set_unicode(0x001A, "IPM.Note").set_unicode(0x0037, subject).set_unicode(0x1000, body);
  return message;
}

RunOutput ExportTest::Export(const pstgen::Archive& archive) {
  pstgen::write_file(archive, archive_path().u8string());
  return ExportWith(archive_path().wstring().c_str(), output_dir().wstring().c_str());
}

RunOutput ExportTest::ExportFailing(const std::string& function, int nth,
                                     libpff_faults::Fault fault, uint64_t value) {
  fs::remove_all(output_dir());
  libpff_faults::clear_faults();
  libpff_faults::inject(function, nth, fault, value);
  const RunOutput run = Export();
  EXPECT_EQ(libpff_faults::leaks(), "");
  return run;
}

RunOutput ExportTest::ExportWith(const wchar_t* pst_path, const wchar_t* output_dir) {
  RunOutput output;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  output.result = pst_export_to_txt_w(pst_path, output_dir);
  output.out = ::testing::internal::GetCapturedStdout();
  output.err = ::testing::internal::GetCapturedStderr();
  return output;
}

std::string ExportTest::Read(const std::string& relative) const {
  std::ifstream in(output_dir() / fs::u8path(relative), std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << relative;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

Tree ExportTest::Snapshot(const std::string& relative) const {
  Tree tree;
  const fs::path root = output_dir() / fs::u8path(relative);
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = entry.path().lexically_relative(root).generic_u8string();
    tree[name] = entry.is_symlink()     ? "-> " + fs::read_symlink(entry.path()).u8string()
                 : entry.is_directory() ? "<dir>"
                                        : Read((fs::u8path(relative) / fs::u8path(name)).u8string());
  }
  return tree;
}

Names ExportTest::List(const std::string& relative) const {
  Names names;
  for (const auto& [name, bytes] : Snapshot(relative)) {
    if (name.find('/') == std::string::npos) names.push_back(name);
  }
  return names;
}

std::string ExportTest::Subjects() const {
  std::string subjects;
  for (int number = 1; fs::exists(fs::u8path(Dir(number)) / "mail.txt"); ++number) {
    const std::string mail = Read(fs::u8path(Dir(number)).filename().u8string() + "/mail.txt");
    const size_t start = mail.find("\r\n#$tit : ") + 10;
    subjects += (number > 1 ? "," : "") + mail.substr(start, mail.find("\r\n", start) - start);
  }
  return subjects;
}

std::string ExportTest::Dir(int number) const {
  std::string digits = std::to_string(number);
  digits.insert(0, digits.size() < 8 ? 8 - digits.size() : 0, '0');
  return (output_dir() / ("Inbox2019_" + digits)).u8string();
}

std::string ExportTest::Console(const std::string& walk, int exported) {
  return "libpff version: 20180714\nParcours root_folder\n" + walk +
         "Message store OK\nIPM_SUBTREE id=0\nTOP_OF_PERSONAL_FOLDERS id=0\n"
         "Termine. Nombre de mails exportes: " + std::to_string(exported) + "\n";
}

}  // namespace quillmar_test
