// Exact end-to-end tests: archives written by pstgen with known content,
// exported by QuillmarPST.so (loaded as a host loads it) through the real
// libpff, and every output compared with bytes this test writes down from
// the content it put in.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive.h"
#include "archive_writer.h"

namespace {

namespace fs = std::filesystem;

using ExportFn = int32_t (*)(const wchar_t*, const wchar_t*);

// 2021-03-14 15:09:26 UTC (the bytes 00 57 D2 05 E4 18 D7 01).
constexpr uint64_t kSubmitTicks = 0x01D718E405D25700ull;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> list(const fs::path& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string mail_text(const std::vector<std::string>& values) {
  static const char* const kLabels[] = {"#$who : ", "#$eme : ", "#$des : ", "#$cop : ",
                                        "#$pri : ", "#$tit : ", "#$dat : ", "#$txt : "};
  std::string text;
  for (size_t i = 0; i < 8; ++i) text += kLabels[i] + values.at(i) + "\r\n";
  return text;
}

class GeneratedArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = dlopen(QUILLMAR_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << dlerror();
    export_ = reinterpret_cast<ExportFn>(dlsym(library_, "pst_export_to_txt_w"));
    ASSERT_NE(export_, nullptr);
    const char* name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    work_ = fs::temp_directory_path() /
            ("quillmar_generated_" + std::to_string(::getpid()) + "_" + name);
    fs::remove_all(work_);
    fs::create_directories(work_);
    const char* tz = std::getenv("TZ");
    saved_tz_ = tz ? std::optional<std::string>(tz) : std::nullopt;
  }
  void TearDown() override {
    if (saved_tz_) setenv("TZ", saved_tz_->c_str(), 1); else unsetenv("TZ");
    tzset();
    fs::remove_all(work_);
    if (library_ != nullptr) dlclose(library_);
  }

  fs::path Write(const pstgen::Archive& archive) {
    const fs::path path = work_ / "generated.pst";
    pstgen::write_file(archive, path.string());
    return path;
  }

  struct Run {
    int32_t result;
    std::string out;
  };

  Run Export(const fs::path& archive, const fs::path& out, const char* tz = "UTC") {
    setenv("TZ", tz, 1);
    tzset();
    const std::string a = archive.string();
    const std::string o = out.string();
    ::testing::internal::CaptureStdout();
    const int32_t result = export_(std::wstring(a.begin(), a.end()).c_str(),
                                   std::wstring(o.begin(), o.end()).c_str());
    return {result, ::testing::internal::GetCapturedStdout()};
  }

  void* library_ = nullptr;
  ExportFn export_ = nullptr;
  fs::path work_;
  std::optional<std::string> saved_tz_;
};

// Four messages in an Inbox: headers that correct the sender and recipients,
// a subject found only in a folded header, an empty message, attachments.
class InboxArchive {
 public:
  static constexpr char kHeadersA[] =
      "Received: from mx.example.org by mail.example.org;\r\n"
      "\tSun, 14 Mar 2021 15:09:26 +0000\r\n"
      "From: \"Alice A.\" <Alice@Example.org>\r\n"
      "To: bob@example.org, \"Bob\" <BOB@example.org>,\r\n"
      " carol@example.net\r\n"
      "Cc: Dan <dan@example.com>\r\n"
      "Subject: not used, the property wins\r\n";
  static constexpr char kHeadersB[] =
      "Subject: Hello\r\n"
      " World\r\n"
      "From: x@y.org\r\n"
      "Date: Tue, 1 Jan 2019 10:00:00 +0100\r\n";

  InboxArchive() {
    pstgen::Folder& inbox = archive.add_folder(archive.ipm_subtree(), "Inbox");
    pstgen::Message& a = inbox.add_message();
    a.set_unicode(0x001A, "IPM.Note")
        .set_unicode(0x0037, "Caf\xC3\xA9 \xE2\x98\x95 \xE6\x97\xA5\xE6\x9C\xAC")
        .set_unicode(0x1000, "Bonjour,\r\nligne 2\nligne 3")
        .set_unicode(0x0C1F, "direct@example.org")
        .set_unicode(0x0E04, "Bob Martin; Carol")
        .set_long(0x0017, 2)
        .set_filetime(0x0039, kSubmitTicks)
        .set_unicode(0x007D, kHeadersA);
    a.add_recipient({pstgen::RecipientType::kTo, "Bob Martin", "bob@example.org", "bob@example.org"});

    pstgen::Message& b = inbox.add_message();
    b.set_unicode(0x001A, "IPM.Note").set_unicode(0x1000, "b").set_unicode(0x007D, kHeadersB);

    pstgen::Message& empty = inbox.add_message();
    empty.set_unicode(0x001A, "IPM.Note").set_unicode(0x0E03, "Zed").set_long(0x0017, 0);

    pstgen::Message& d = inbox.add_message();
    d.set_unicode(0x001A, "IPM.Note").set_unicode(0x0037, "Pieces jointes")
        .set_unicode(0x1000, "voir pj").set_unicode(0x0C1A, "Service Achats");
    d.add_attachment({"a:b?.txt", "", "x"});
    d.add_attachment({"report.pdf", "REPORT.PDF", "first"});
    d.add_attachment({"report.pdf", "REPORT.PDF", "second"});
    d.add_attachment({"big.bin", "", big_data()});
    d.add_attachment({"r\xC3\xA9sum\xC3\xA9.pdf", "", "cv"});
    d.add_attachment({"", "", "nameless"});
    d.add_attachment({"", "SHORT.TXT", "short"});
    d.add_attachment({"empty.txt", "", ""});
  }

  static std::string big_data() {
    std::string data(2500000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return data;
  }

  pstgen::Archive archive;
};

TEST_F(GeneratedArchiveTest, InboxExportsExactly) {
  InboxArchive inbox;
  const fs::path out = work_ / "out";
  const Run run = Export(Write(inbox.archive), out);
  ASSERT_EQ(run.result, 3) << run.out;
  const std::string dir1 = (out / "generated_00000001").string();
  const std::string dir2 = (out / "generated_00000002").string();
  const std::string dir3 = (out / "generated_00000003").string();
  EXPECT_EQ(run.out, "libpff version: 20180714\nParcours root_folder\n"
                     "MAIL 1 OK -> " + dir1 + "\nMAIL 2 OK -> " + dir2 + "\nMAIL 3 OK -> " + dir3 +
                     "\nMessage store OK\nIPM_SUBTREE id=0\nTOP_OF_PERSONAL_FOLDERS id=0\n"
                     "Termine. Nombre de mails exportes: 3\n");
  EXPECT_EQ(list(out), (std::vector<std::string>{"generated_00000001", "generated_00000002",
                                                 "generated_00000003"}));

  EXPECT_EQ(read_file(out / "generated_00000001" / "mail.txt"),
            mail_text({"generated", "Alice@Example.org", "bob@example.org;carol@example.net;",
                       "dan@example.com;", "Haute",
                       "Caf\xC3\xA9 \xE2\x98\x95 \xE6\x97\xA5\xE6\x9C\xAC", "2021-03-14 15:09:26",
                       "Bonjour,\r\nligne 2\nligne 3"}));
  EXPECT_EQ(read_file(out / "generated_00000001" / "headers.txt"), InboxArchive::kHeadersA);
  EXPECT_EQ(list(out / "generated_00000001"),
            (std::vector<std::string>{"debug_fields.txt", "headers.txt", "mail.ok", "mail.txt", "pj"}));
  const std::string dump = read_file(out / "generated_00000001" / "debug_fields.txt");
  EXPECT_NE(dump.find("\r\n[final]\r\nwho=generated\r\nsender=direct@example.org\r\n"
                      "to=Bob Martin; Carol;\r\ncc=Dan <dan@example.com>;\r\npriority=Haute\r\n"),
            std::string::npos) << dump;

  EXPECT_EQ(read_file(out / "generated_00000002" / "mail.txt"),
            mail_text({"generated", "x@y.org", "", "", "Normale", "Hello World",
                       "Tue, 1 Jan 2019 10:00:00 +0100", "b"}));
  EXPECT_EQ(read_file(out / "generated_00000002" / "headers.txt"), InboxArchive::kHeadersB);

  const fs::path d = out / "generated_00000003";
  EXPECT_EQ(read_file(d / "mail.txt"),
            mail_text({"generated", "Service Achats", "", "", "Normale", "Pieces jointes", "", "voir pj"}));
  EXPECT_FALSE(fs::exists(d / "headers.txt"));
  EXPECT_EQ(list(d / "pj"),
            (std::vector<std::string>{"SHORT.TXT", "a_b_.txt", "big.bin", "piece_jointe_0006.bin",
                                      "report.pdf", "report_2.pdf", "r\xC3\xA9sum\xC3\xA9.pdf"}));
  EXPECT_EQ(read_file(d / "pj" / "a_b_.txt"), "x");
  EXPECT_EQ(read_file(d / "pj" / "report.pdf"), "first");
  EXPECT_EQ(read_file(d / "pj" / "report_2.pdf"), "second");
  EXPECT_TRUE(read_file(d / "pj" / "big.bin") == InboxArchive::big_data());
  EXPECT_EQ(read_file(d / "pj" / "piece_jointe_0006.bin"), "nameless");
  EXPECT_EQ(read_file(d / "pj" / "SHORT.TXT"), "short");
  EXPECT_EQ(read_file(d / "pj" / "r\xC3\xA9sum\xC3\xA9.pdf"), "cv");
}

TEST_F(GeneratedArchiveTest, DatesFollowTheLocalTimeZone) {
  InboxArchive inbox;
  const fs::path archive = Write(inbox.archive);
  const struct {
    const char* tz;
    const char* date;
  } zones[] = {{"UTC", "2021-03-14 15:09:26"}, {"Europe/Paris", "2021-03-14 16:09:26"}};
  for (const auto& zone : zones) {
    const fs::path out = work_ / zone.tz;
    ASSERT_EQ(Export(archive, out, zone.tz).result, 3);
    const std::string mail = read_file(out / "generated_00000001" / "mail.txt");
    EXPECT_NE(mail.find(std::string("\r\n#$dat : ") + zone.date + "\r\n"), std::string::npos)
        << zone.tz << ": " << mail;
  }
}

// A store whose 0x35E0 is a 32-bit folder identifier: the folder is walked by
// the root walk and again under both labels, so its message is written three
// times under three numbers.
TEST_F(GeneratedArchiveTest, FolderNamedByTheStoreIsExportedThreeTimes) {
  pstgen::Archive archive;
  pstgen::Folder& inbox = archive.add_folder(archive.ipm_subtree(), "Inbox");
  inbox.add_message().set_unicode(0x0037, "once").set_unicode(0x1000, "body");
  archive.set_store_folder_identifier(&inbox);
  const fs::path out = work_ / "out";
  const Run run = Export(Write(archive), out);
  ASSERT_EQ(run.result, 3) << run.out;
  const std::string id = std::to_string(inbox.nid());
  const std::string prefix = (out / "generated_0000000").string();
  EXPECT_EQ(run.out, "libpff version: 20180714\nParcours root_folder\n"
                     "MAIL 1 OK -> " + prefix + "1\nMessage store OK\n"
                     "IPM_SUBTREE id=" + id + "\nParcours IPM_SUBTREE\nMAIL 2 OK -> " + prefix + "2\n"
                     "TOP_OF_PERSONAL_FOLDERS id=" + id + "\nParcours TOP_OF_PERSONAL_FOLDERS\n"
                     "MAIL 3 OK -> " + prefix + "3\nTermine. Nombre de mails exportes: 3\n");
  for (int n = 1; n <= 3; ++n) {
    EXPECT_EQ(read_file(out / ("generated_0000000" + std::to_string(n)) / "mail.txt"),
              mail_text({"generated", "", "", "", "Normale", "once", "", "body"}));
  }
}

}  // namespace
