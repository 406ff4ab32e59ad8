// pst2txt's host platform on Windows: the wide (UTF-16) API throughout,
// files by extended-length names (\\?\) so that deep output trees stay
// reachable, the console written as UTF-16 text.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

#include "host_platform.h"
#include "platform/platform.h"
#include "platform/windows_names.h"
#include "run/text_conversion.h"
#include "windows_names.h"

namespace pst2txt {

std::wstring to_wide(std::string_view text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), size,
                                                            nullptr, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

namespace {

// The full name of path, separators made backslashes.
std::wstring full_name(const std::string& path) {
  std::wstring wide = to_wide(path);
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  if (wide.empty() || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return wide;
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.resize(length);
  }
}

// Bytes at the end of text that begin a UTF-8 sequence it does not finish.
size_t unfinished_tail(const std::string& text) {
  for (size_t back = 1; back <= 3 && back <= text.size(); ++back) {
    const unsigned char byte = static_cast<unsigned char>(text[text.size() - back]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return length > back ? back : 0;
  }
  return 0;
}

struct StandardStream {
  DWORD which;
  std::string unfinished;  // a console's pending bytes of a split character
};

// bytes written to handle at once: to a console as UTF-16 text (a split
// character's first bytes kept in unfinished for the next call), otherwise
// as they are.
void write_to(HANDLE handle, std::string& unfinished, std::string_view bytes) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || bytes.empty()) return;
  DWORD mode = 0;
  if (!GetConsoleMode(handle, &mode)) {
    for (size_t at = 0; at < bytes.size();) {
      DWORD wrote = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1 << 20));
      if (!WriteFile(handle, bytes.data() + at, chunk, &wrote, nullptr) || wrote == 0) return;
      at += wrote;
    }
    return;
  }
  std::string text = unfinished + std::string(bytes);
  const size_t tail = unfinished_tail(text);
  unfinished = text.substr(text.size() - tail);
  text.resize(text.size() - tail);
  const std::wstring wide = to_wide(text);
  for (size_t at = 0; at < wide.size();) {
    DWORD wrote = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(wide.size() - at, 8192));
    if (!WriteConsoleW(handle, wide.data() + at, chunk, &wrote, nullptr) || wrote == 0) return;
    at += wrote;
  }
}

void pass_to(StandardStream& stream, std::string_view bytes) {
  write_to(GetStdHandle(stream.which), stream.unfinished, bytes);
}

StandardStream standard_output = {STD_OUTPUT_HANDLE, {}};
StandardStream standard_error = {STD_ERROR_HANDLE, {}};

DWORD console_mode_before = 0;

void restore_console_mode() { SetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), console_mode_before); }

}  // namespace

std::wstring system_path(const std::string& path) {
  return quillmar::extended_length_name(std::filesystem::u8path(path));
}

std::vector<std::string> program_arguments(int /*argc*/, char** /*argv*/) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide != nullptr && i < count; ++i) {
    args.push_back(quillmar::wide_to_utf8(wide[i]));
  }
  LocalFree(wide);
  return args;
}

std::optional<std::string> environment_variable(const char* name) {
  const std::wstring wide_name = to_wide(name);
  const DWORD size = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
  if (size == 0) return std::nullopt;
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(wide_name.c_str(), value.data(), size));
  return quillmar::wide_to_utf8(value);
}

// Through the C runtime, whose copy of the environment the library's getenv
// reads (the runtime passes it on to the system's).
void set_environment_variable(const char* name, const std::string& value) {
  _wputenv(to_wide(std::string(name) + "=" + value).c_str());
}

std::string executable_directory() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::string();
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return std::string();
  return quillmar::wide_to_utf8(std::wstring_view(path).substr(0, slash));
}

bool progress_terminal() {
  const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (!GetConsoleMode(handle, &mode)) return false;
  if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return true;
  if (!SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) return false;
  console_mode_before = mode;
  std::atexit(restore_console_mode);
  return true;
}

void pass_to_standard_output(std::string_view bytes) { pass_to(standard_output, bytes); }

void pass_to_standard_error(std::string_view bytes) { pass_to(standard_error, bytes); }

struct StandardOutputTap::Impl {
  int before = -1;         // a copy of descriptor 1 as it was, its text mode included
  int errors_before = -1;  // descriptor 2's, when it was tapped too
  std::thread reader;
};

namespace {

// A console (a process has one) or the same disk file; pipes are not told apart.
bool same_file(HANDLE a, HANDLE b) {
  DWORD mode = 0;
  if (GetConsoleMode(a, &mode) && GetConsoleMode(b, &mode)) return true;
  BY_HANDLE_FILE_INFORMATION first, second;
  return GetFileType(a) == FILE_TYPE_DISK && GetFileType(b) == FILE_TYPE_DISK &&
         GetFileInformationByHandle(a, &first) && GetFileInformationByHandle(b, &second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

// Makes C runtime descriptor fd (1 or 2) the pipe's write end write_end, in
// the mode fd had, and its standard handle follow; returns a copy of fd as
// it was, or -1 when it cannot.
int redirect(int fd, DWORD which, int write_end) {
  const int before = _dup(fd);
  if (before < 0) return -1;
  const int mode = _setmode(before, _O_BINARY);
  _setmode(before, mode);
  _setmode(write_end, mode);
  _dup2(write_end, fd);
  SetStdHandle(which, reinterpret_cast<HANDLE>(_get_osfhandle(fd)));
  return before;
}

void put_back(int fd, DWORD which, int before) {
  _dup2(before, fd);
  SetStdHandle(which, reinterpret_cast<HANDLE>(_get_osfhandle(fd)));
}

}  // namespace

// In text mode the library's "\n" still leaves descriptor 1 as "\r\n". The
// standard handles follow the descriptors, so that the library, which
// writes to a console by its handle, writes to the pipe instead.
StandardOutputTap::StandardOutputTap(std::function<void(std::string_view)> on_bytes) {
  constexpr unsigned kTapBytes = 65536;
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  int ends[2];
  if (output == nullptr || output == INVALID_HANDLE_VALUE ||
      _pipe(ends, kTapBytes, _O_BINARY | _O_NOINHERIT) != 0) {
    return;
  }
  std::cout.flush();
  std::fflush(stdout);
  const int before = redirect(1, STD_OUTPUT_HANDLE, ends[1]);
  if (before < 0) {
    _close(ends[0]);
    _close(ends[1]);
    return;
  }
  impl_ = std::make_unique<Impl>();
  impl_->before = before;
  const HANDLE to = reinterpret_cast<HANDLE>(_get_osfhandle(before));
  // Standard error written where standard output goes passes through the
  // pipe as well, so that the two keep their order there.
  if (same_file(to, GetStdHandle(STD_ERROR_HANDLE))) {
    std::fflush(stderr);
    impl_->errors_before = redirect(2, STD_ERROR_HANDLE, ends[1]);
  }
  _close(ends[1]);
  impl_->reader = std::thread([from = ends[0], to, on_bytes = std::move(on_bytes)] {
    std::string unfinished;
    char buffer[kTapBytes];
    int got;
    while ((got = _read(from, buffer, sizeof buffer)) > 0) {
      const std::string_view bytes(buffer, static_cast<size_t>(got));
      write_to(to, unfinished, bytes);
      on_bytes(bytes);
    }
    _close(from);
  });
}

StandardOutputTap::~StandardOutputTap() {
  if (!impl_) return;
  std::cout.flush();
  std::fflush(stdout);
  std::cerr.flush();
  std::fflush(stderr);
  // The pipe's last write ends go: the reader meets its end.
  if (impl_->errors_before >= 0) put_back(2, STD_ERROR_HANDLE, impl_->errors_before);
  put_back(1, STD_OUTPUT_HANDLE, impl_->before);
  impl_->reader.join();
  _close(impl_->before);
  if (impl_->errors_before >= 0) _close(impl_->errors_before);
}

std::optional<std::string> read_file(const std::string& path) {
  const HANDLE file = CreateFileW(system_path(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string content;
  char buffer[65536];
  DWORD got = 0;
  BOOL read = FALSE;
  while ((read = ReadFile(file, buffer, sizeof buffer, &got, nullptr)) && got > 0) {
    content.append(buffer, got);
  }
  CloseHandle(file);
  if (!read) return std::nullopt;
  return content;
}

bool exists(const std::string& path) {
  return GetFileAttributesW(system_path(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<DirectoryEntry> list_directory(const std::string& directory) {
  std::vector<DirectoryEntry> entries;
  std::wstring pattern = system_path(directory);
  if (pattern.empty()) return entries;
  if (pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found;
  const HANDLE listing =
      FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (listing == INVALID_HANDLE_VALUE) return entries;
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    using Kind = DirectoryEntry::Kind;
    const DWORD attributes = found.dwFileAttributes;
    const Kind kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? Kind::kOther
                      : (attributes & FILE_ATTRIBUTE_DIRECTORY)   ? Kind::kDirectory
                      : (attributes & FILE_ATTRIBUTE_DEVICE)      ? Kind::kOther
                                                                  : Kind::kRegular;
    const uint64_t size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    entries.push_back({quillmar::wide_to_utf8(name), kind, kind == Kind::kRegular ? size : 0});
  } while (FindNextFileW(listing, &found));
  FindClose(listing);
  return entries;
}

void* open_library(const std::string& path, std::string* error) {
  // A path is loaded with the DLLs it needs searched for beside it; a bare
  // name by the loader's search.
  const bool bare = path.find_first_of("/\\:") == std::string::npos;
  const std::wstring name = bare ? to_wide(path) : full_name(path);
  const HMODULE library =
      LoadLibraryExW(name.c_str(), nullptr, bare ? 0 : LOAD_WITH_ALTERED_SEARCH_PATH);
  if (library == nullptr) {
    *error = path + ": " + quillmar::system_error_text(static_cast<int>(GetLastError()));
  }
  return reinterpret_cast<void*>(library);
}

void* library_symbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace pst2txt
