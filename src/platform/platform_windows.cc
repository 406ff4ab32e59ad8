// The platform on Windows: wide (UTF-16) calls only, on extended-length
// "\\?\" names so that long archive names and deep output roots pass
// MAX_PATH; files created new and never through a reparse point; local time
// by the system's time-zone rules; console text as UTF-16 on a console.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/platform.h"
#include "platform/windows_names.h"
#include "run/text_conversion.h"

// The loader's per-thread notifications are not needed: the library keeps
// nothing per thread.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}

namespace quillmar {

std::wstring extended_length_name(const std::filesystem::path& path) {
  const std::wstring& given = path.native();
  if (given.rfind(LR"(\\?\)", 0) == 0) return given;
  const DWORD needed = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return given;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(given.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return given;
  full.resize(length);
  if (full.rfind(LR"(\\.\)", 0) == 0) return full;
  if (full.rfind(LR"(\\)", 0) == 0) return LR"(\\?\UNC\)" + full.substr(2);
  return LR"(\\?\)" + full;
}

namespace {

const intptr_t kNoHandle = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
constexpr DWORD kLargestWrite = 1u << 30;
constexpr size_t kLibpffMessageBytes = 4096;  // libpff's messages are far shorter

HANDLE as_handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

[[noreturn]] void throw_error(const char* operation, const std::filesystem::path& path,
                              DWORD error) {
  throw std::filesystem::filesystem_error(
      operation, path, std::error_code(static_cast<int>(error), std::system_category()));
}

DWORD attributes_of(const std::filesystem::path& path) {
  return GetFileAttributesW(extended_length_name(path).c_str());
}

bool is_absence(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH;
}

bool is_link(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

bool is_directory(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// Opens the directory at path for creating files in it. It must be a
// directory and not a reparse point; deleting or renaming it is refused
// while the handle is held, so that it cannot be replaced by a link.
HANDLE open_directory(const std::filesystem::path& path) {
  HANDLE directory = CreateFileW(extended_length_name(path).c_str(), FILE_LIST_DIRECTORY,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                 nullptr);
  if (directory == INVALID_HANDLE_VALUE) throw_error("create_directories", path, GetLastError());
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(directory, &information) ||
      !is_directory(information.dwFileAttributes) || is_link(information.dwFileAttributes)) {
    CloseHandle(directory);
    throw_error("create_directories", path, ERROR_DIRECTORY);
  }
  return directory;
}

// Removes the entry at name, whose attributes are given: a link as a link,
// a directory after its entries.
void remove_entry(const std::wstring& name, DWORD attributes, const std::filesystem::path& path) {
  if (is_directory(attributes) && !is_link(attributes)) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileExW((name + L"\\*").c_str(), FindExInfoBasic, &entry,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) throw_error("remove_all", path, GetLastError());
    do {
      const std::wstring child = entry.cFileName;
      if (child == L"." || child == L"..") continue;
      try {
        remove_entry(name + L"\\" + child, entry.dwFileAttributes, path);
      } catch (...) {
        FindClose(search);
        throw;
      }
    } while (FindNextFileW(search, &entry));
    const DWORD ended = GetLastError();
    FindClose(search);
    if (ended != ERROR_NO_MORE_FILES) throw_error("remove_all", path, ended);
  }
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetFileAttributesW(name.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  // A directory link (junction or symbolic link) is removed as a directory,
  // which removes the link and leaves its target alone.
  const BOOL removed =
      is_directory(attributes) ? RemoveDirectoryW(name.c_str()) : DeleteFileW(name.c_str());
  if (!removed && !is_absence(GetLastError())) throw_error("remove_all", path, GetLastError());
}

std::wstring to_wide(std::string_view utf8) {
  if (utf8.empty()) return std::wstring();
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                        nullptr, 0);
  std::wstring wide(static_cast<size_t>(std::max(units, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), units);
  return wide;
}

// Text for a console is written as UTF-16, so that every character shows
// whatever the console's code page; anything else (a pipe, a file) gets the
// bytes through the C runtime, whose text mode ends lines with CR LF.
void write_console_text(FILE* stream, DWORD standard_handle, std::string_view bytes) {
  HANDLE console = GetStdHandle(standard_handle);
  DWORD mode = 0;
  if (console != nullptr && console != INVALID_HANDLE_VALUE && GetConsoleMode(console, &mode)) {
    std::fflush(stream);
    const std::wstring text = to_wide(bytes);
    DWORD written = 0;
    WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
}

}  // namespace

OutputDirectory OutputDirectory::create_fresh(const std::filesystem::path& path) {
  // Usually nothing is there and the parent exists: one system call.
  if (!CreateDirectoryW(extended_length_name(path).c_str(), nullptr)) {
    if (GetLastError() == ERROR_ALREADY_EXISTS) remove_directory_tree(path);
    create_directory_tree(path);
  }
  return OutputDirectory(path, reinterpret_cast<intptr_t>(open_directory(path)));
}

void OutputDirectory::make_sub_directory(const char* name) const {
  const std::filesystem::path sub = path_ / std::filesystem::u8path(name);
  if (!CreateDirectoryW(extended_length_name(sub).c_str(), nullptr)) {
    throw_error("create_directories", sub, GetLastError());
  }
}

OutputDirectory OutputDirectory::create_sub_directory(const char* name) const {
  make_sub_directory(name);
  const std::filesystem::path sub = path_ / std::filesystem::u8path(name);
  return OutputDirectory(sub, reinterpret_cast<intptr_t>(open_directory(sub)));
}

OutputDirectory::OutputDirectory(OutputDirectory&& other) noexcept
    : path_(std::move(other.path_)), handle_(other.handle_) {
  other.handle_ = kNoHandle;
}

void OutputDirectory::close() {
  if (handle_ != kNoHandle) CloseHandle(as_handle(handle_));
  handle_ = kNoHandle;
}

OutputDirectory::~OutputDirectory() { close(); }

NewFile::NewFile(const OutputDirectory& directory, std::string name)
    : directory_(directory), name_(std::move(name)) {
  // CREATE_NEW fails on any entry of that name; FILE_FLAG_OPEN_REPARSE_POINT
  // keeps a link of that name from being resolved at all.
  const std::wstring file =
      extended_length_name(directory_.path() / std::filesystem::u8path(name_));
  handle_ = reinterpret_cast<intptr_t>(
      CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (handle_ == kNoHandle) error_ = static_cast<int>(GetLastError());
}

NewFile::~NewFile() {
  if (handle_ != kNoHandle && !closed_) {
    CloseHandle(as_handle(handle_));
    remove();
  }
}

void NewFile::remove() {
  DeleteFileW(extended_length_name(directory_.path() / std::filesystem::u8path(name_)).c_str());
}

void NewFile::append(std::string_view bytes) {
  while (error_ == 0 && !bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), kLargestWrite));
    DWORD written = 0;
    if (!WriteFile(as_handle(handle_), bytes.data(), chunk, &written, nullptr)) {
      error_ = static_cast<int>(GetLastError());
    } else {
      bytes.remove_prefix(written);
    }
  }
}

int NewFile::close() {
  if (handle_ == kNoHandle || closed_) return error_;
  closed_ = true;
  if (!CloseHandle(as_handle(handle_)) && error_ == 0) error_ = static_cast<int>(GetLastError());
  if (error_ != 0) remove();
  return error_;
}

void create_directory_tree(const std::filesystem::path& directory) {
  if (directory.empty()) throw_error("create_directories", directory, ERROR_PATH_NOT_FOUND);
  const std::wstring name = extended_length_name(directory);
  if (CreateDirectoryW(name.c_str(), nullptr)) return;
  DWORD error = GetLastError();
  if (error == ERROR_PATH_NOT_FOUND) {
    const std::filesystem::path parent = directory.parent_path();
    if (parent.empty() || parent == directory) throw_error("create_directories", directory, error);
    create_directory_tree(parent);
    if (CreateDirectoryW(name.c_str(), nullptr)) return;
    error = GetLastError();
  }
  // An existing directory (or a link to one; a drive's root answers "access
  // denied") is accepted; anything else is not.
  const DWORD attributes = GetFileAttributesW(name.c_str());
  const bool existing = error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
  if (existing && attributes != INVALID_FILE_ATTRIBUTES && is_directory(attributes)) return;
  throw_error("create_directories", directory,
              error == ERROR_ALREADY_EXISTS ? ERROR_DIRECTORY : error);
}

void remove_directory_tree(const std::filesystem::path& path) {
  const std::wstring name = extended_length_name(path);
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (is_absence(error)) return;
    throw_error("remove_all", path, error);
  }
  remove_entry(name, attributes, path);
}

void move_directory(const std::filesystem::path& directory, const std::filesystem::path& path) {
  const std::wstring from = extended_length_name(directory);
  const std::wstring to = extended_length_name(path);
  if (MoveFileExW(from.c_str(), to.c_str(), 0)) return;
  remove_directory_tree(path);
  if (!MoveFileExW(from.c_str(), to.c_str(), 0)) throw_error("rename", directory, GetLastError());
}

bool path_exists(const std::filesystem::path& path) {
  // Opening with no access follows links, as the existence test does.
  HANDLE entry = CreateFileW(extended_length_name(path).c_str(), 0,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (entry != INVALID_HANDLE_VALUE) {
    CloseHandle(entry);
    return true;
  }
  const DWORD error = GetLastError();
  if (is_absence(error)) return false;
  // Present but not to be opened (in use, no right to read it): it exists.
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) return true;
  throw_error("exists", path, error);
}

bool entry_exists(const std::filesystem::path& path) {
  if (attributes_of(path) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD error = GetLastError();
  if (is_absence(error)) return false;
  throw_error("exists", path, error);
}

bool name_taken(const OutputDirectory& directory, const std::string& name) {
  return entry_exists(directory.path() / std::filesystem::u8path(name));
}

bool is_plain_file(const std::filesystem::path& path) {
  HANDLE file = CreateFileW(extended_length_name(path).c_str(), 0,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  const bool regular = GetFileType(file) == FILE_TYPE_DISK &&
                       GetFileInformationByHandle(file, &information) &&
                       !is_directory(information.dwFileAttributes);
  CloseHandle(file);
  return regular;
}

int64_t size_of_file(const std::filesystem::path& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(extended_length_name(path).c_str(), GetFileExInfoStandard, &data)) {
    return -1;
  }
  return static_cast<int64_t>(static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
}

std::string system_error_text(int error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) return "erreur " + std::to_string(error);
  std::wstring_view message(text, length);
  while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' ||
                              message.back() == L' ' || message.back() == L'.')) {
    message.remove_suffix(1);
  }
  std::string utf8 = wide_to_utf8(message);
  LocalFree(text);
  return utf8;
}

int open_libpff_file(libpff_file_t* file, const std::filesystem::path& path,
                     libpff_error_t** error) {
  return libpff_file_open_wide(file, extended_length_name(path).c_str(),
                               libpff_get_access_flags_read(), error);
}

void load_time_zone() {}

// FILETIME to UTC fields, then to the current time zone by the rules the
// system has for that year (GetTimeZoneInformationForYear knows the years
// whose daylight-saving dates differ from today's).
bool filetime_to_local_time(uint64_t ticks, CalendarTime* local) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  SYSTEMTIME utc;
  SYSTEMTIME converted;
  if (!FileTimeToSystemTime(&time, &utc)) return false;
  TIME_ZONE_INFORMATION zone;
  const bool have_year = GetTimeZoneInformationForYear(utc.wYear, nullptr, &zone) != 0;
  if (!SystemTimeToTzSpecificLocalTime(have_year ? &zone : nullptr, &utc, &converted)) {
    return false;
  }
  *local = {converted.wYear, converted.wMonth,  converted.wDay,
            converted.wHour, converted.wMinute, converted.wSecond};
  return true;
}

void write_standard_output(std::string_view bytes) {
  write_console_text(stdout, STD_OUTPUT_HANDLE, bytes);
}

void write_standard_error(std::string_view bytes) {
  write_console_text(stderr, STD_ERROR_HANDLE, bytes);
}

// libpff_error_fprint ends its line with CR LF here, which a text-mode
// stream would write as CR CR LF: the text is taken and written as a line.
void print_libpff_error(libpff_error_t* error) {
  char text[kLibpffMessageBytes];
  if (libpff_error_sprint(error, text, sizeof text) < 0) return;
  write_standard_error(std::string(text, strnlen(text, sizeof text)) + "\n");
}

bool contains_bytes(std::string_view text, std::string_view part) {
  // Boyer-Moore: linear up to the first occurrence, whatever the bytes.
  return std::search(text.begin(), text.end(),
                     std::boyer_moore_searcher(part.begin(), part.end())) != text.end();
}

}  // namespace quillmar
