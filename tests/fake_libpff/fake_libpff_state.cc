// The fake's process-wide state, kept in one place: handles handed out, the
// call log, faults, global failure rules, per-object call counts and
// registered archives. One mutex guards all of it; every fake C call holds it
// from start to end (Invocation), so two exports in two threads are safe.
#include <cstdio>
#include <map>
#include <memory>
#include <new>
#include <sstream>
#include <unordered_map>
#include <utility>

#include "fake_libpff/fake_libpff.h"
#include "fake_libpff/fake_libpff_internal.h"

namespace fakepff {
namespace internal {
namespace {

struct State {
  std::mutex mutex;
  std::vector<std::unique_ptr<Handle>> handles;
  std::unordered_map<const void*, Handle*> by_address;
  std::vector<std::string> faults;
  std::vector<CallRecord> log;
  FailureRules global_rules;
  std::map<std::pair<const void*, Call>, int64_t> call_counts;
  std::map<std::string, Archive*> registrations;
};

State& state() {
  static State instance;
  return instance;
}

const char* kind_name(HandleKind kind) {
  switch (kind) {
    case HandleKind::kFile: return "file";
    case HandleKind::kItem: return "item";
    case HandleKind::kRecordSet: return "record set";
    case HandleKind::kEntry: return "record entry";
    case HandleKind::kError: return "error";
  }
  return "object";
}

Handle& new_handle(HandleKind kind, std::string description) {
  State& s = state();
  s.handles.push_back(std::make_unique<Handle>());
  Handle& handle = *s.handles.back();
  handle.kind = kind;
  handle.description = std::move(description);
  s.by_address[&handle] = &handle;
  return handle;
}

Handle* find_handle(const void* pointer) {
  auto it = state().by_address.find(pointer);
  return it == state().by_address.end() ? nullptr : it->second;
}

void clear_locked() {
  State& s = state();
  s.handles.clear();
  s.by_address.clear();
  s.faults.clear();
  s.log.clear();
  s.global_rules = FailureRules();
  s.call_counts.clear();
  s.registrations.clear();
}

}  // namespace

Archive* registered_archive(const std::string& path) {
  auto it = state().registrations.find(path);
  return it == state().registrations.end() ? nullptr : it->second;
}

Invocation::Invocation(Call call, std::vector<int64_t> args, std::string text)
    : lock_(state().mutex), call_(call), record_(state().log.size()) {
  state().log.push_back(CallRecord{call, nullptr, std::move(args), std::move(text)});
}

Handle* Invocation::resolve(const void* pointer, HandleKind kind, const char* what,
                            libpff_error_t** slot) {
  if (pointer == nullptr) {
    error(slot, std::string("invalid ") + what + ".");
    return nullptr;
  }
  Handle* handle = find_handle(pointer);
  std::string problem;
  if (handle == nullptr) {
    problem = std::string(what) + " pointer never handed out";
  } else if (handle->kind != kind) {
    problem = std::string(kind_name(handle->kind)) + " passed as " + what + ": " + handle->description;
  } else if (handle->freed) {
    problem = "use of freed " + handle->description;
  }
  if (problem.empty()) return handle;
  fault(std::string(function()) + ": " + problem);
  error(slot, std::string("invalid ") + what + ".");
  return nullptr;
}

void Invocation::on(const void* object) {
  state().log[record_].object = object;
  ordinal_ = state().call_counts[{object, call_}]++;
}

std::optional<Failure> Invocation::injected(const FailureRules* rules, int64_t at) const {
  if (rules != nullptr) {
    if (auto how = rules->match(call_, at)) return how;
  }
  return state().global_rules.match(call_, at);
}

int Invocation::error(libpff_error_t** slot, const std::string& message) {
  if (slot == nullptr) return -1;
  std::string text = std::string(function()) + ": " + message;
  Handle* existing = *slot == nullptr ? nullptr : find_handle(*slot);
  if (existing != nullptr && existing->kind == HandleKind::kError && !existing->freed) {
    existing->messages.push_back(std::move(text));
    return -1;
  }
  if (*slot != nullptr) fault(std::string(function()) + ": error slot holds an invalid pointer");
  Handle& handle = hand_out(HandleKind::kError, "error \"" + text + "\"");
  handle.messages.push_back(std::move(text));
  *slot = to_pointer<libpff_error_t>(handle);
  return -1;
}

int Invocation::answer(Failure how, libpff_error_t** slot, intptr_t** out) {
  switch (how) {
    case Failure::kError:
      return error(slot, "injected failure");
    case Failure::kErrorNoObject:
      return -1;
    case Failure::kNullObject:
      if (out != nullptr) {
        *out = nullptr;
        return 1;
      }
      fault(std::string(function()) + ": Failure::kNullObject on a call that hands out no object");
      return error(slot, "injected failure");
    case Failure::kNotAvailable:
      return 0;
    case Failure::kThrowBadAlloc:
      throw std::bad_alloc();
    case Failure::kThrowNonStandard:
      throw 42;
  }
  return -1;
}

bool Invocation::out_ok(intptr_t** out, const char* what, libpff_error_t** slot) {
  if (out == nullptr) {
    error(slot, std::string("invalid ") + what + ".");
    return false;
  }
  if (*out != nullptr) {
    fault(std::string(function()) + ": " + what + " out-parameter not null on entry");
    error(slot, std::string(what) + " already set.");
    return false;
  }
  return true;
}

bool Invocation::value_out_ok(const void* out, const char* what, libpff_error_t** slot) {
  if (out != nullptr) return true;
  error(slot, std::string("invalid ") + what + ".");
  return false;
}

Handle& Invocation::hand_out(HandleKind kind, const std::string& what) {
  return new_handle(kind, what + " (from " + function() + ")");
}

int Invocation::release(intptr_t** pointer, HandleKind kind, const char* what,
                        libpff_error_t** slot) {
  if (pointer == nullptr) return error(slot, std::string("invalid ") + what + ".");
  if (*pointer == nullptr) return 1;
  Handle* handle = find_handle(*pointer);
  std::string problem;
  if (handle == nullptr) {
    problem = std::string("free of a pointer never handed out (") + what + ")";
  } else if (handle->kind != kind) {
    problem = std::string("free of ") + handle->description + " as " + what;
  } else if (handle->freed) {
    problem = "double free of " + handle->description;
  }
  *pointer = nullptr;
  if (!problem.empty()) {
    fault(std::string(function()) + ": " + problem);
    return error(slot, std::string("invalid ") + what + ".");
  }
  handle->freed = true;
  return 1;
}

void Invocation::fault(const std::string& text) { state().faults.push_back(text); }

}  // namespace internal

using internal::Handle;
using internal::HandleKind;
using internal::state;

ArchiveRegistration::ArchiveRegistration(std::string path, Archive& archive)
    : path_(std::move(path)) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().registrations[path_] = &archive;
}

ArchiveRegistration::~ArchiveRegistration() {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().registrations.erase(path_);
}

libpff_item_t* open_item(Node& node) {
  std::lock_guard<std::mutex> lock(state().mutex);
  Handle& handle =
      internal::new_handle(HandleKind::kItem, "item " + node.label() + " (from fakepff::open_item)");
  handle.node = &node;
  return internal::to_pointer<libpff_item_t>(handle);
}

ScopedItem::~ScopedItem() { libpff_item_free(&item_, nullptr); }

Session::Session() { reset(); }

Session::~Session() { reset(); }

void reset() {
  std::lock_guard<std::mutex> lock(state().mutex);
  internal::clear_locked();
}

void fail(Call call, Failure how) { fail_at(call, kAnyCall, how); }

void fail_at(Call call, int64_t at, Failure how) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().global_rules.add(call, at, how);
}

std::vector<CallRecord> calls() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return state().log;
}

std::vector<CallRecord> calls(Call call, const void* object) {
  std::vector<CallRecord> matching;
  for (CallRecord& record : calls()) {
    if (record.call == call && (object == nullptr || record.object == object)) {
      matching.push_back(std::move(record));
    }
  }
  return matching;
}

namespace {

std::vector<int64_t> first_args(Call call, const Node& attachment) {
  std::vector<int64_t> values;
  for (const CallRecord& record : calls(call, &attachment)) values.push_back(record.args.at(0));
  return values;
}

}  // namespace

std::vector<int64_t> read_sizes(const Node& attachment) {
  return first_args(Call::kAttachmentDataReadBuffer, attachment);
}

std::vector<int64_t> seek_offsets(const Node& attachment) {
  return first_args(Call::kAttachmentDataSeekOffset, attachment);
}

std::vector<std::string> leaks() {
  std::lock_guard<std::mutex> lock(state().mutex);
  std::vector<std::string> open;
  for (const auto& handle : state().handles) {
    if (!handle->freed) open.push_back(handle->description);
  }
  return open;
}

std::vector<std::string> faults() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return state().faults;
}

std::string audit() {
  std::ostringstream text;
  for (const std::string& leak : leaks()) text << "leaked: " << leak << "\n";
  for (const std::string& fault : faults()) text << "fault: " << fault << "\n";
  return text.str();
}

size_t handed_out() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return state().handles.size();
}

}  // namespace fakepff
