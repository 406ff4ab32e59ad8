// The fake's C functions for item values: entry-value reads, record sets and
// entries, message bodies and attachment data. Behaviours measured on
// Debian's libpff 20180714 over every message, folder and message store of
// enron.pst and the two .ost files of pst-extractor 1.12.0, and mirrored:
// - Entry-value reads accept flags 0 and 0x02 only; any other flag gives -1,
//   "unsupported flags: 0x01.".
// - With flag 0 an entry type of 0x8000 or more is looked up through the
//   name-to-id map, which the fake does not model: it is "not available"
//   (0). With 0x02 it is looked up as given.
// - A record set index beyond the item's record sets gives -1, "unable to
//   retrieve record entry." (not 0); an absent entry gives 0 and no error.
// - UTF-8 reads match the first entry of the type whatever its value type;
//   0x001E and 0x001F convert (0x001E from Windows-1252, the default
//   codepage), every other value type (0x0002, 0x0003, 0x000B, 0x0040,
//   0x0102, ...) gives -1, "unsupported value type: 0x0102.". The size counts
//   the text up to its first 0 unit plus the terminator: real 0x001F values
//   mostly carry no terminator (15,710 of 16,997 measured), some do, and
//   both give the same size. A buffer smaller than that size gives -1.
// - 32-bit reads match only entries of value type 0x0003: an entry of any
//   other type (the message store's 24-byte binary 0x35E0, a 0x000B boolean,
//   a 0x0002 16-bit integer, a string) is "not available" (0), no error.
// - libpff_item_get_number_of_sub_items gives 0 for every message of the real
//   archives; the fake reports the sub-items the test added.
// - libpff_message_get_plain_text_body_size of a message without 0x1000
//   gives 0 (not available), no error, and leaves the size untouched; the
//   size counts the terminating 0 byte; a buffer smaller than it gives -1.
// - The HTML body (0x1013, stored as binary) has size data + 1, but the read
//   accepts a buffer of only `data` bytes and then writes its terminator one
//   byte past the buffer. The fake accepts it too, writes no terminator and
//   records a fault, so a caller that relies on it is caught.
// - libpff_record_entry_get_data with a buffer smaller than the data gives
//   -1, "invalid data value too small."; a larger one is accepted.
// - Attachment data: seek_offset gives the new offset; SEEK_SET/CUR/END are
//   accepted, a negative result or another whence gives -1; seeking past
//   the end is allowed, and read_buffer there gives 0. read_buffer returns
//   the bytes read and advances the offset of that item object (each
//   attachment item handed out has its own offset).
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "fake_libpff/fake_libpff.h"
#include "fake_libpff/fake_libpff_internal.h"

using fakepff::Call;
using fakepff::Entry;
using fakepff::Failure;
using fakepff::Node;
using fakepff::internal::Handle;
using fakepff::internal::HandleKind;
using fakepff::internal::Invocation;
using fakepff::internal::to_pointer;

namespace {

constexpr uint8_t kFlagIgnoreNameToIdMap = 0x02;
constexpr uint32_t kFirstNamedEntryType = 0x8000;

std::string hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*x", digits, value);
  return text;
}

// The item behind `item`, with the call counted on its node.
Node* item_node(Invocation& call, libpff_item_t* item, libpff_error_t** error) {
  Handle* handle = call.resolve(item, HandleKind::kItem, "item", error);
  if (handle == nullptr) return nullptr;
  call.on(handle->node);
  return handle->node;
}

// Finds the entry an entry-value read answers from: 1 with `*found`, 0 when
// not available, -1 with an error.
int find_value_entry(Invocation& call, libpff_item_t* item, int record_set_index,
                     uint32_t entry_type, uint8_t flags, bool int32_only,
                     const Entry** found, libpff_error_t** error) {
  Node* node = item_node(call, item, error);
  if (node == nullptr) return -1;
  if ((flags & ~kFlagIgnoreNameToIdMap) != 0) {
    return call.error(error, "unsupported flags: " + hex(flags, 2) + ".");
  }
  if (auto how = call.injected(&node->rules(), entry_type)) return call.answer(*how, error);
  if (record_set_index < 0 ||
      static_cast<size_t>(record_set_index) >= node->record_sets().size()) {
    return call.error(error, "unable to retrieve record entry.");
  }
  if (entry_type >= kFirstNamedEntryType && (flags & kFlagIgnoreNameToIdMap) == 0) return 0;
  const auto& set = *node->record_sets()[static_cast<size_t>(record_set_index)];
  for (size_t i = 0; i < set.size(); ++i) {
    const Entry& entry = set.entry(i);
    if (entry.entry_type == entry_type && (!int32_only || entry.value_type == fakepff::kValueInt32)) {
      *found = &entry;
      return 1;
    }
  }
  return 0;
}

// The UTF-8 text libpff gives for a string entry; -1 with an error otherwise.
int entry_utf8(Invocation& call, const Entry& entry, std::string* text, libpff_error_t** error) {
  if (entry.value_type == fakepff::kValueString8) {
    *text = fakepff::internal::cp1252_to_utf8(entry.data);
    return 1;
  }
  if (entry.value_type != fakepff::kValueUnicode) {
    return call.error(error, "unsupported value type: " + hex(entry.value_type, 4) + ".");
  }
  auto converted = fakepff::internal::utf16le_to_utf8(entry.data);
  if (!converted) return call.error(error, "unable to retrieve UTF-8 string size.");
  *text = std::move(*converted);
  return 1;
}

// Copies `text` and its terminator into `buffer` of `size` bytes.
int copy_terminated(Invocation& call, const std::string& text, uint8_t* buffer, size_t size,
                    const char* too_small, libpff_error_t** error) {
  if (buffer == nullptr) return call.error(error, "invalid buffer.");
  if (size < text.size() + 1) return call.error(error, too_small);
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = 0;
  return 1;
}

// The entry behind `record_entry`, with the call counted on it; an injected
// failure is answered into `*result`.
Entry* live_entry(Invocation& call, libpff_record_entry_t* record_entry, libpff_error_t** error,
                  int* result) {
  *result = -1;
  Handle* handle = call.resolve(record_entry, HandleKind::kEntry, "record entry", error);
  if (handle == nullptr) return nullptr;
  call.on(handle->entry);
  if (auto how = call.injected(&handle->entry->rules(), call.ordinal())) {
    *result = call.answer(*how, error);
    return nullptr;
  }
  return handle->entry;
}

// The body of `message` chosen by `which`, with the call counted; `*result`
// holds the answer when no body is to be returned.
const std::optional<std::string>* message_body(Invocation& call, libpff_item_t* message,
                                               const std::optional<std::string>& (Node::*which)() const,
                                               libpff_error_t** error, int* result) {
  *result = -1;
  Node* node = item_node(call, message, error);
  if (node == nullptr) return nullptr;
  if (auto how = call.injected(&node->rules(), call.ordinal())) {
    *result = call.answer(*how, error);
    return nullptr;
  }
  const std::optional<std::string>& body = (node->*which)();
  if (!body) {
    *result = 0;
    return nullptr;
  }
  return &body;
}

int body_size(Call which_call, libpff_item_t* message, size_t* size,
              const std::optional<std::string>& (Node::*which)() const, libpff_error_t** error) {
  Invocation call(which_call, {});
  int result = -1;
  const std::optional<std::string>* body = message_body(call, message, which, error, &result);
  if (body == nullptr) return result;
  if (!call.value_out_ok(size, "size", error)) return -1;
  *size = (*body)->size() + 1;
  return 1;
}

}  // namespace

extern "C" {

int libpff_item_get_entry_value_utf8_string_size(libpff_item_t* item, int record_set_index,
                                                 uint32_t entry_type, size_t* utf8_string_size,
                                                 uint8_t flags, libpff_error_t** error) {
  Invocation call(Call::kItemGetEntryValueUtf8StringSize, {record_set_index, entry_type, flags});
  const Entry* entry = nullptr;
  int found = find_value_entry(call, item, record_set_index, entry_type, flags, false, &entry, error);
  if (found != 1) return found;
  if (!call.value_out_ok(utf8_string_size, "UTF-8 string size", error)) return -1;
  std::string text;
  if (entry_utf8(call, *entry, &text, error) != 1) return -1;
  *utf8_string_size = text.size() + 1;
  return 1;
}

int libpff_item_get_entry_value_utf8_string(libpff_item_t* item, int record_set_index,
                                            uint32_t entry_type, uint8_t* utf8_string,
                                            size_t utf8_string_size, uint8_t flags,
                                            libpff_error_t** error) {
  Invocation call(Call::kItemGetEntryValueUtf8String,
                  {record_set_index, entry_type, static_cast<int64_t>(utf8_string_size), flags});
  const Entry* entry = nullptr;
  int found = find_value_entry(call, item, record_set_index, entry_type, flags, false, &entry, error);
  if (found != 1) return found;
  std::string text;
  if (entry_utf8(call, *entry, &text, error) != 1) return -1;
  return copy_terminated(call, text, utf8_string, utf8_string_size,
                         "unable to retrieve UTF-8 string value of record entry.", error);
}

int libpff_item_get_entry_value_32bit(libpff_item_t* item, int record_set_index,
                                      uint32_t entry_type, uint32_t* entry_value, uint8_t flags,
                                      libpff_error_t** error) {
  Invocation call(Call::kItemGetEntryValue32bit, {record_set_index, entry_type, flags});
  const Entry* entry = nullptr;
  int found = find_value_entry(call, item, record_set_index, entry_type, flags, true, &entry, error);
  if (found != 1) return found;
  if (!call.value_out_ok(entry_value, "entry value", error)) return -1;
  if (entry->data.size() != 4) return call.error(error, "unsupported value data size.");
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(entry->data[static_cast<size_t>(i)]);
  *entry_value = value;
  return 1;
}

int libpff_item_get_number_of_record_sets(libpff_item_t* item, int* number_of_record_sets,
                                          libpff_error_t** error) {
  Invocation call(Call::kItemGetNumberOfRecordSets, {});
  Node* node = item_node(call, item, error);
  if (node == nullptr || !call.value_out_ok(number_of_record_sets, "number of record sets", error)) {
    return -1;
  }
  if (auto how = call.injected(&node->rules(), call.ordinal())) return call.answer(*how, error);
  auto reported = node->reported(Call::kItemGetNumberOfRecordSets);
  *number_of_record_sets =
      static_cast<int>(reported ? *reported : static_cast<int64_t>(node->record_sets().size()));
  return 1;
}

int libpff_item_get_record_set_by_index(libpff_item_t* item, int record_set_index,
                                        libpff_record_set_t** record_set, libpff_error_t** error) {
  Invocation call(Call::kItemGetRecordSetByIndex, {record_set_index});
  Node* node = item_node(call, item, error);
  if (node == nullptr || !call.out_ok(record_set, "record set", error)) return -1;
  if (auto how = call.injected(&node->rules(), record_set_index)) return call.answer(*how, error, record_set);
  if (record_set_index < 0 || static_cast<size_t>(record_set_index) >= node->record_sets().size()) {
    return call.error(error, "unable to retrieve record set: " + std::to_string(record_set_index) + ".");
  }
  Handle& handle = call.hand_out(HandleKind::kRecordSet, "record set " + std::to_string(record_set_index) +
                                                             " of " + node->label());
  handle.record_set = node->record_sets()[static_cast<size_t>(record_set_index)].get();
  handle.node = node;
  *record_set = to_pointer<libpff_record_set_t>(handle);
  return 1;
}

int libpff_record_set_free(libpff_record_set_t** record_set, libpff_error_t** error) {
  Invocation call(Call::kRecordSetFree, {});
  return call.release(record_set, HandleKind::kRecordSet, "record set", error);
}

int libpff_record_set_get_number_of_entries(libpff_record_set_t* record_set,
                                            int* number_of_entries, libpff_error_t** error) {
  Invocation call(Call::kRecordSetGetNumberOfEntries, {});
  Handle* handle = call.resolve(record_set, HandleKind::kRecordSet, "record set", error);
  if (handle == nullptr || !call.value_out_ok(number_of_entries, "number of entries", error)) return -1;
  call.on(handle->record_set);
  if (auto how = call.injected(&handle->record_set->rules(), call.ordinal())) return call.answer(*how, error);
  *number_of_entries = static_cast<int>(handle->record_set->size());
  return 1;
}

int libpff_record_set_get_entry_by_index(libpff_record_set_t* record_set, int entry_index,
                                         libpff_record_entry_t** record_entry,
                                         libpff_error_t** error) {
  Invocation call(Call::kRecordSetGetEntryByIndex, {entry_index});
  Handle* handle = call.resolve(record_set, HandleKind::kRecordSet, "record set", error);
  if (handle == nullptr || !call.out_ok(record_entry, "record entry", error)) return -1;
  call.on(handle->record_set);
  if (auto how = call.injected(&handle->record_set->rules(), entry_index)) {
    return call.answer(*how, error, record_entry);
  }
  if (entry_index < 0 || static_cast<size_t>(entry_index) >= handle->record_set->size()) {
    return call.error(error, "unable to retrieve record entry: " + std::to_string(entry_index) + ".");
  }
  Entry& entry = handle->record_set->entry(static_cast<size_t>(entry_index));
  Handle& given = call.hand_out(HandleKind::kEntry, "record entry " + std::to_string(entry_index) + " (" +
                                                        hex(entry.entry_type, 4) + ") of " +
                                                        handle->node->label());
  given.entry = &entry;
  *record_entry = to_pointer<libpff_record_entry_t>(given);
  return 1;
}

int libpff_record_entry_free(libpff_record_entry_t** record_entry, libpff_error_t** error) {
  Invocation call(Call::kRecordEntryFree, {});
  return call.release(record_entry, HandleKind::kEntry, "record entry", error);
}

int libpff_record_entry_get_entry_type(libpff_record_entry_t* record_entry, uint32_t* entry_type,
                                       libpff_error_t** error) {
  Invocation call(Call::kRecordEntryGetEntryType, {});
  int result = -1;
  Entry* entry = live_entry(call, record_entry, error, &result);
  if (entry == nullptr) return result;
  if (!call.value_out_ok(entry_type, "entry type", error)) return -1;
  *entry_type = entry->entry_type;
  return 1;
}

int libpff_record_entry_get_value_type(libpff_record_entry_t* record_entry, uint32_t* value_type,
                                       libpff_error_t** error) {
  Invocation call(Call::kRecordEntryGetValueType, {});
  int result = -1;
  Entry* entry = live_entry(call, record_entry, error, &result);
  if (entry == nullptr) return result;
  if (!call.value_out_ok(value_type, "value type", error)) return -1;
  *value_type = entry->value_type;
  return 1;
}

int libpff_record_entry_get_data_size(libpff_record_entry_t* record_entry, size_t* data_size,
                                      libpff_error_t** error) {
  Invocation call(Call::kRecordEntryGetDataSize, {});
  int result = -1;
  Entry* entry = live_entry(call, record_entry, error, &result);
  if (entry == nullptr) return result;
  if (!call.value_out_ok(data_size, "data size", error)) return -1;
  *data_size = entry->data.size();
  return 1;
}

int libpff_record_entry_get_data(libpff_record_entry_t* record_entry, uint8_t* data,
                                 size_t data_size, libpff_error_t** error) {
  Invocation call(Call::kRecordEntryGetData, {static_cast<int64_t>(data_size)});
  int result = -1;
  Entry* entry = live_entry(call, record_entry, error, &result);
  if (entry == nullptr) return result;
  if (data == nullptr) return call.error(error, "invalid data.");
  if (data_size < entry->data.size()) return call.error(error, "invalid data value too small.");
  std::memcpy(data, entry->data.data(), entry->data.size());
  return 1;
}

int libpff_message_get_plain_text_body_size(libpff_item_t* message, size_t* size,
                                            libpff_error_t** error) {
  return body_size(Call::kMessageGetPlainTextBodySize, message, size, &Node::plain_text_body, error);
}

int libpff_message_get_plain_text_body(libpff_item_t* message, uint8_t* message_body_bytes,
                                       size_t size, libpff_error_t** error) {
  Invocation call(Call::kMessageGetPlainTextBody, {static_cast<int64_t>(size)});
  int result = -1;
  const auto* body = message_body(call, message, &Node::plain_text_body, error, &result);
  if (body == nullptr) return result;
  return copy_terminated(call, **body, message_body_bytes, size, "unable to set message body.", error);
}

int libpff_message_get_html_body_size(libpff_item_t* message, size_t* size,
                                      libpff_error_t** error) {
  return body_size(Call::kMessageGetHtmlBodySize, message, size, &Node::html_body, error);
}

int libpff_message_get_html_body(libpff_item_t* message, uint8_t* message_body_bytes, size_t size,
                                 libpff_error_t** error) {
  Invocation call(Call::kMessageGetHtmlBody, {static_cast<int64_t>(size)});
  int result = -1;
  const auto* body = message_body(call, message, &Node::html_body, error, &result);
  if (body == nullptr) return result;
  const std::string& text = **body;
  if (message_body_bytes != nullptr && size == text.size()) {
    call.fault("libpff_message_get_html_body: buffer of " + std::to_string(size) +
               " bytes leaves no room for the terminator (real libpff writes it past the end)");
    std::memcpy(message_body_bytes, text.data(), text.size());
    return 1;
  }
  return copy_terminated(call, text, message_body_bytes, size, "message body too small.", error);
}

int libpff_attachment_get_data_size(libpff_item_t* attachment, size64_t* size,
                                    libpff_error_t** error) {
  Invocation call(Call::kAttachmentGetDataSize, {});
  Node* node = item_node(call, attachment, error);
  if (node == nullptr || !call.value_out_ok(size, "size", error)) return -1;
  if (auto how = call.injected(&node->rules(), call.ordinal())) return call.answer(*how, error);
  auto reported = node->reported(Call::kAttachmentGetDataSize);
  *size = reported ? static_cast<size64_t>(*reported) : node->data().size();
  return 1;
}

off64_t libpff_attachment_data_seek_offset(libpff_item_t* attachment, off64_t offset, int whence,
                                           libpff_error_t** error) {
  Invocation call(Call::kAttachmentDataSeekOffset, {offset, whence});
  Handle* handle = call.resolve(attachment, HandleKind::kItem, "attachment", error);
  if (handle == nullptr) return -1;
  call.on(handle->node);
  if (auto how = call.injected(&handle->node->rules(), call.ordinal())) {
    return call.answer(*how == Failure::kNotAvailable ? Failure::kErrorNoObject : *how, error);
  }
  int64_t base = whence == SEEK_SET   ? 0
                 : whence == SEEK_CUR ? handle->offset
                 : whence == SEEK_END ? static_cast<int64_t>(handle->node->data().size())
                                      : -1;
  if (base < 0 || base + offset < 0) return call.error(error, "unable to seek offset in record entry.");
  handle->offset = base + offset;
  return handle->offset;
}

ssize_t libpff_attachment_data_read_buffer(libpff_item_t* attachment, uint8_t* buffer,
                                           size_t buffer_size, libpff_error_t** error) {
  Invocation call(Call::kAttachmentDataReadBuffer, {static_cast<int64_t>(buffer_size)});
  Handle* handle = call.resolve(attachment, HandleKind::kItem, "attachment", error);
  if (handle == nullptr) return -1;
  call.on(handle->node);
  if (auto how = call.injected(&handle->node->rules(), call.ordinal())) return call.answer(*how, error);
  if (buffer == nullptr) return call.error(error, "invalid buffer.");
  const std::string& data = handle->node->data();
  if (handle->offset >= static_cast<int64_t>(data.size())) return 0;
  size_t count = std::min(buffer_size, data.size() - static_cast<size_t>(handle->offset));
  std::memcpy(buffer, data.data() + handle->offset, count);
  handle->offset += static_cast<int64_t>(count);
  return static_cast<ssize_t>(count);
}

}  // extern "C"
