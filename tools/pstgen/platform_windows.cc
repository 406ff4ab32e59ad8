#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <stdexcept>

#include "platform.h"

namespace pstgen {
namespace {

// False when `text` is not valid UTF-8.
bool to_wide(const std::string& text, std::wstring& out) {
  out.clear();
  if (text.empty()) return true;
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                    static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return false;
  out.resize(static_cast<size_t>(n));
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                      out.data(), n);
  return true;
}

std::string utf8(const wchar_t* text, size_t size) {
  if (size == 0) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<size_t>(std::max(n, 0)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), out.data(), n, nullptr, nullptr);
  return out;
}

[[noreturn]] void fail(const std::string& what, const std::string& path) {
  const DWORD code = GetLastError();
  wchar_t* text = nullptr;
  const DWORD size = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string reason = size > 0 ? utf8(text, size) : "error " + std::to_string(code);
  LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) {
    reason.pop_back();
  }
  throw std::runtime_error(what + " " + path + ": " + reason);
}

HANDLE handle_of(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

std::vector<std::string> utf8_arguments(int, char**) {
  int count = 0;
  wchar_t** wide_args = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide_args != nullptr && i < count; ++i) {
    args.push_back(utf8(wide_args[i], wcslen(wide_args[i])));
  }
  LocalFree(wide_args);
  return args;
}

OutputFile::OutputFile(const std::string& path) : path_(path) {
  std::wstring name;
  if (!to_wide(path, name)) throw std::runtime_error("cannot create " + path + ": not valid UTF-8");
  // Not inheritable: CreateFileW's handles are not unless asked.
  const HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                               nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) fail("cannot create", path);
  handle_ = reinterpret_cast<intptr_t>(h);
}

OutputFile::~OutputFile() {
  if (handle_ != -1) CloseHandle(handle_of(handle_));
}

void OutputFile::write_at(uint64_t offset, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), size_t{1} << 30));
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD written = 0;
    if (!WriteFile(handle_of(handle_), bytes.data(), chunk, &written, &at)) fail("cannot write", path_);
    bytes.remove_prefix(written);
    offset += written;
  }
}

void OutputFile::close() {
  if (handle_ == -1) return;
  const HANDLE h = handle_of(handle_);
  handle_ = -1;
  if (!CloseHandle(h)) fail("cannot close", path_);
}

}  // namespace pstgen
