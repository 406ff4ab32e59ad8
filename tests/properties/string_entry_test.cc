// Text taken once from the record bytes against libpff's own UTF-8 reads of
// the same entries: on random UTF-16 values and on every string of the real
// archives, the only difference is libpff's decoding of surrogate pairs,
// which comes back 0x3FF too low (U+1F600 as U+1F201).
#include <codecvt>
#include <cstring>
#include <filesystem>
#include <locale>
#include <optional>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "archive_writer.h"
#include "platform/platform.h"
#include "properties/property_reader.h"
#include "support/export_fixture.h"

namespace quillmar_test {
namespace {

std::optional<std::string> LibpffText(libpff_item_t* item, int set, uint32_t type) {
  size_t size = 0;
  if (libpff_item_get_entry_value_utf8_string_size(item, set, type, &size, 0, nullptr) != 1 ||
      size == 0) {
    return std::nullopt;
  }
  std::string text(size, '\0');
  auto* bytes = reinterpret_cast<uint8_t*>(&text[0]);
  if (libpff_item_get_entry_value_utf8_string(item, set, type, bytes, size, 0, nullptr) != 1) return std::nullopt;
  return text.substr(0, strnlen(text.data(), size));
}

// text with every character above U+FFFF moved down by 0x3FF, as libpff
// decodes the surrogate pair that stores it.
std::string AsLibpffDecodesPairs(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (length < 4) {
      out.append(text, i, length);
    } else {
      char32_t code_point = lead & 0x07;
      for (size_t k = 1; k < 4; ++k) code_point = code_point << 6 | (text[i + k] & 0x3F);
      out += std::wstring_convert<std::codecvt_utf8<char32_t>, char32_t>().to_bytes(code_point - 0x3FF);
    }
    i += length;
  }
  return out;
}

// Compares every string entry (below 0x8000) of every record set of every
// item under folder, and returns how many were compared.
int CompareStrings(libpff_item_t* item, const std::string& where) {
  int compared = 0;
  for (const quillmar::RecordSetValues& set : quillmar::read_record_sets(item).sets) {
    for (const quillmar::RecordEntryValue& entry : set.entries) {
      if ((entry.value_type != 0x001F && entry.value_type != 0x001E) || entry.entry_type >= 0x8000) continue;
      const std::optional<std::string> ours = quillmar::string_entry(set, entry.entry_type);
      const std::optional<std::string> theirs = LibpffText(item, set.index, entry.entry_type);
      EXPECT_EQ(ours ? std::optional<std::string>(AsLibpffDecodesPairs(*ours)) : ours, theirs)
          << where << " set " << set.index << " entry " << std::hex << entry.entry_type;
      ++compared;
    }
  }
  int count = 0;
  using Get = int (*)(libpff_item_t*, int, libpff_item_t**, libpff_error_t**);
  for (auto [counter, get] : {std::pair<int (*)(libpff_item_t*, int*, libpff_error_t**), Get>{
                                  libpff_folder_get_number_of_sub_folders, libpff_folder_get_sub_folder},
                              {libpff_folder_get_number_of_sub_messages, libpff_folder_get_sub_message},
                              {libpff_message_get_number_of_attachments, libpff_message_get_attachment}}) {
    for (int i = 0; counter(item, &count, nullptr) == 1 && i < count; ++i) {
      libpff_item_t* child = nullptr;
      if (get(item, i, &child, nullptr) == 1) compared += CompareStrings(child, where);
      libpff_item_free(&child, nullptr);
    }
  }
  libpff_item_t* recipients = nullptr;
  if (libpff_message_get_recipients(item, &recipients, nullptr) == 1 && recipients != nullptr) {
    compared += CompareStrings(recipients, where);
    libpff_item_free(&recipients, nullptr);
  }
  return compared;
}

int CompareArchive(const std::string& path) {  // UTF-8
  libpff_file_t* file = nullptr;
  libpff_item_t* root = nullptr;
  int compared = 0;
  if (libpff_file_initialize(&file, nullptr) == 1 &&
      quillmar::open_libpff_file(file, std::filesystem::u8path(path), nullptr) == 1 &&
      libpff_file_get_root_folder(file, &root, nullptr) == 1) {
    compared = CompareStrings(root, path);
  }
  libpff_item_free(&root, nullptr);
  libpff_file_close(file, nullptr);
  libpff_file_free(&file, nullptr);
  return compared;
}

// Random UTF-16 values: ASCII, zero units, other characters of the basic
// plane, unpaired low surrogates and pairs; odd lengths; leading byte-order
// marks in both orders.
TEST_F(ExportTest, StringsReadOnceAgreeWithLibpffExceptForPairs) {
  std::mt19937 engine(20261206);
  auto random = [&engine] { return static_cast<uint32_t>(engine()); };
  for (int i = 0; i < 400; ++i) {
    std::string bytes = random() % 8 == 0 ? (random() % 2 ? "\xFF\xFE" : "\xFE\xFF") : "";
    for (uint32_t k = random() % 40; k > 0; --k) {
      uint32_t unit = random() % 0x80;
      switch (random() % 6) {
        case 0: unit = random() % 50 == 0 ? 0 : unit; break;
        case 1: unit = 0x80 + random() % (0xD800 - 0x80); break;
        case 2: unit = 0xE000 + random() % 0x2000; break;
        case 3: unit = 0xDC00 + random() % 0x400; break;
        case 4: bytes += {static_cast<char>(random()), static_cast<char>(0xD8 + random() % 4)};
                unit = 0xDC00 + random() % 0x400; break;
      }
      bytes += {static_cast<char>(unit), static_cast<char>(unit >> 8)};
    }
    if (random() % 6 == 0) bytes += 'x';
    AddMail("m").props().set_raw(0x0037001F, bytes);
  }
  pstgen::write_file(archive_, archive_path().u8string());
  EXPECT_GT(CompareArchive(archive_path().u8string()), 1200);
}

TEST(StringEntry, RealArchivesAgreeWithLibpffExceptForPairs) {
  for (const char* name : {"enron.pst", "pstextractortest@outlook.com.ost",
                           "pstextractortestpdf@outlook.com.ost"}) {
    const std::string path = std::string(QUILLMAR_ARCHIVE_DIR) + "/" + name;
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "missing " << path;
    EXPECT_GT(CompareArchive(path), 500) << path;
  }
}

}  // namespace
}  // namespace quillmar_test
