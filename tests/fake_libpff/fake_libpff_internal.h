// Internals shared by the fake's source files: the handles it hands out, the
// process-wide registry behind them, and the per-call helper that every fake
// C function starts with. Not for tests.
#ifndef QUILLMAR_TESTS_FAKE_LIBPFF_FAKE_LIBPFF_INTERNAL_H_
#define QUILLMAR_TESTS_FAKE_LIBPFF_FAKE_LIBPFF_INTERNAL_H_

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fake_libpff/fake_libpff.h"

namespace fakepff::internal {

enum class HandleKind { kFile, kItem, kRecordSet, kEntry, kError };

// What a libpff_*_t pointer of the fake points to. Handles stay allocated
// until reset(), so a freed pointer is never reused and a second free or a
// late use is recognised.
struct Handle {
  HandleKind kind;
  std::string description;  // "item root/folder 0 (from libpff_...)"
  bool freed = false;
  Archive* archive = nullptr;       // kFile: the open archive, or null
  Node* node = nullptr;             // kItem
  int64_t offset = 0;               // kItem: attachment data offset
  RecordSet* record_set = nullptr;  // kRecordSet
  Entry* entry = nullptr;           // kEntry
  std::vector<std::string> messages;  // kError: "<function>: <text>"
};

// Byte-level conversions used to answer UTF-8 reads.
// UTF-16LE up to the first 0 unit; null for an odd byte count. Unpaired
// surrogates become U+FFFD.
std::optional<std::string> utf16le_to_utf8(std::string_view bytes);
// Windows-1252 (libpff's default codepage) up to the first 0 byte.
std::string cp1252_to_utf8(std::string_view bytes);
// UTF-8 to UTF-16LE, without terminator. REQUIRES: valid UTF-8.
std::string utf8_to_utf16le(std::string_view utf8);
// wchar_t text (UTF-32 here) to UTF-8.
std::string wide_to_utf8(const wchar_t* text);

// The registered archive for `path`, or null. REQUIRES: the lock is held.
Archive* registered_archive(const std::string& path);

// A fake C call in progress: holds the process-wide lock for its lifetime,
// logs the call, and offers the steps that the C functions share.
class Invocation {
 public:
  Invocation(Call call, std::vector<int64_t> args, std::string text = {});
  Invocation(const Invocation&) = delete;
  Invocation& operator=(const Invocation&) = delete;

  // The live handle behind `pointer`, or null when it cannot be used: a null
  // pointer answers with error "invalid <what>."; an unknown, freed or
  // wrongly typed pointer is also recorded as a fault.
  Handle* resolve(const void* pointer, HandleKind kind, const char* what,
                  libpff_error_t** error);
  // Names the model object the call is made on and counts the call on it.
  void on(const void* object);
  // The 0-based number of this call among the calls of the same function on
  // the same object (see on()).
  int64_t ordinal() const { return ordinal_; }
  // The injected failure for this call: the object's rules, then the global
  // ones. `at` is matched as Call documents it.
  std::optional<Failure> injected(const FailureRules* rules, int64_t at) const;
  // -1 after putting "<function>: <message>" in the caller's error slot
  // (appended to an error already there).
  int error(libpff_error_t** slot, const std::string& message);
  // The result of an injected failure for a call that hands out `out` (null
  // for calls that hand out no object).
  int answer(Failure how, libpff_error_t** slot, intptr_t** out = nullptr);
  // True when `out` can receive an object: a null `out` answers -1 with
  // "invalid <what>."; an object already in it answers -1 with "<what>
  // already set." (as libpff does) and is recorded as a fault.
  bool out_ok(intptr_t** out, const char* what, libpff_error_t** slot);
  // True when a plain out-parameter is given; else -1 with "invalid <what>.".
  bool value_out_ok(const void* out, const char* what, libpff_error_t** slot);
  // A new accounted handle; its description is "<what> (from <function>)".
  Handle& hand_out(HandleKind kind, const std::string& what);
  // Marks the handle in `*pointer` freed and empties `*pointer`; misuse
  // becomes a fault and, for a null `pointer`, -1 with "invalid <what>.".
  int release(intptr_t** pointer, HandleKind kind, const char* what,
              libpff_error_t** slot);
  void fault(const std::string& text);
  const char* function() const { return function_name(call_); }

 private:
  std::unique_lock<std::mutex> lock_;
  Call call_;
  size_t record_;
  int64_t ordinal_ = 0;
};

template <typename T>
T* to_pointer(Handle& handle) {
  return reinterpret_cast<T*>(&handle);
}

}  // namespace fakepff::internal

#endif  // QUILLMAR_TESTS_FAKE_LIBPFF_FAKE_LIBPFF_INTERNAL_H_
