// An in-memory libpff for tests: the same C functions as Debian's libpff
// 20180714 (declared by <libpff.h>, so the signatures are the real ones),
// answering from an archive model that a test builds in a few lines, with
// failures that a test injects per call and per index, and accounting of every
// object handed out.
//
//   fakepff::Session session;                   // clean process-wide state
//   fakepff::Archive archive;
//   fakepff::Node& inbox = archive.root().add_folder();
//   fakepff::Node& m = inbox.add_message();
//   m.set_unicode(0x0037, "Bonjour").set_u32(0x0017, 2);
//   m.set_plain_text_body("Salut");
//   m.add_attachment("%PDF-1.4...").set_unicode(0x3707, "devis.pdf");
//   m.add_sub_item().set_unicode(0x39FE, "a@b.fr").set_u32(0x0C15, 2);
//   archive.message_store().set_u32(0x35E0, 42);
//   inbox.set_identifier(42);
//   inbox.fail_at(fakepff::Call::kFolderGetSubMessage, 1);   // message 1 unreadable
//   fakepff::ArchiveRegistration reg("/tmp/x/a.pst", archive);
//   ... run the library (it opens "/tmp/x/a.pst") ...
//   EXPECT_EQ(fakepff::audit(), "");            // nothing leaked, no fault
//
// Component tests that work on one item use a ScopedItem:
//   fakepff::ScopedItem item(m);
//   std::string subject = read_utf8_property(item.get(), 0x0037, 0);
//
// Conventions of the fake (each mirrors the real libpff where it was measured;
// the measurements are listed at the top of fake_libpff.cc and
// fake_libpff_values.cc):
// - Results: 1 success, 0 "not available", -1 failure. A failure sets an
//   error object in the caller's slot when one is given; a slot that already
//   holds an error gets the new message appended (as libcerror does), so no
//   second object is handed out.
// - libpff_error_fprint writes one line per message of the error, each
//   "libpff: <function>: <message>\n", e.g.
//   "libpff: libpff_folder_get_sub_message: injected failure\n".
// - An out-parameter object that is not null on entry is refused (-1, error
//   "... value already set"), as libpff does.
// - String entries hold their bytes without a terminator, as in real archives
//   (a 0x001F value "Bob" is the 6 bytes 42 00 6F 00 62 00); the UTF-8 size
//   functions and the body size functions count the terminating 0 byte.
// - The model is built before the library runs and must not be changed while
//   a libpff call is in progress; Archive and Node are neither copied nor
//   moved (handles point into them).
#ifndef QUILLMAR_TESTS_FAKE_LIBPFF_FAKE_LIBPFF_H_
#define QUILLMAR_TESTS_FAKE_LIBPFF_FAKE_LIBPFF_H_

// libpff 20180714 marks its entry-value functions deprecated; they are the
// ones the library and its tests call. Effective where this header comes
// before any other inclusion of <libpff.h>.
#if !defined(LIBPFF_DEPRECATED)
#define LIBPFF_DEPRECATED
#endif
#include <libpff.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#if !defined(LIBPFF_HAVE_WIDE_CHARACTER_TYPE)
// Declared by <libpff.h> only where libpff has wide-character paths; the fake
// provides it everywhere so that either form of opening can be tested.
extern "C" int libpff_file_open_wide(libpff_file_t* file, const wchar_t* filename,
                                     int access_flags, libpff_error_t** error);
#endif

namespace fakepff {

// MAPI value types of the entries the builders make.
constexpr uint32_t kValueInt16 = 0x0002;
constexpr uint32_t kValueInt32 = 0x0003;
constexpr uint32_t kValueBoolean = 0x000B;
constexpr uint32_t kValueString8 = 0x001E;
constexpr uint32_t kValueUnicode = 0x001F;
constexpr uint32_t kValueFiletime = 0x0040;
constexpr uint32_t kValueBinary = 0x0102;

// The C functions of the fake, one value each. Call log records and failure
// rules name them. In the comments, "at" is what fail_at() matches:
//   index: the index argument; type: the entry type argument;
//   id: the identifier argument; n: the 0-based number of the call among the
//   calls of that function on the same model object since the Session began.
enum class Call {
  kGetVersion,
  kGetAccessFlagsRead,
  kFileInitialize,                  // n (global rules only: no archive yet)
  kFileOpen,                        // n
  kFileOpenWide,                    // n
  kFileClose,                       // n
  kFileFree,
  kFileGetRootFolder,               // n
  kFileGetMessageStore,             // n
  kFileGetItemByIdentifier,         // id
  kFolderGetNumberOfSubMessages,    // n
  kFolderGetSubMessage,             // index
  kFolderGetNumberOfSubFolders,     // n
  kFolderGetSubFolder,              // index
  kItemGetEntryValueUtf8StringSize,  // type
  kItemGetEntryValueUtf8String,     // type
  kItemGetEntryValue32bit,          // type
  kItemGetNumberOfRecordSets,       // n
  kItemGetRecordSetByIndex,         // index
  kItemGetNumberOfSubItems,         // n
  kItemGetSubItem,                  // index
  kItemGetIdentifier,               // n
  kItemFree,
  kRecordSetGetNumberOfEntries,     // n (rule on the RecordSet)
  kRecordSetGetEntryByIndex,        // index (rule on the RecordSet)
  kRecordSetFree,
  kRecordEntryGetEntryType,         // n (rule on the Entry)
  kRecordEntryGetValueType,         // n (rule on the Entry)
  kRecordEntryGetDataSize,          // n (rule on the Entry)
  kRecordEntryGetData,              // n (rule on the Entry)
  kRecordEntryFree,
  kMessageGetPlainTextBodySize,     // n
  kMessageGetPlainTextBody,         // n
  kMessageGetHtmlBodySize,          // n
  kMessageGetHtmlBody,              // n
  kMessageGetNumberOfAttachments,   // n
  kMessageGetAttachment,            // index
  kAttachmentGetDataSize,           // n
  kAttachmentDataSeekOffset,        // n
  kAttachmentDataReadBuffer,        // n
  kErrorFprint,
  kErrorFree,
};

// The C name of `call`, e.g. "libpff_folder_get_sub_message".
const char* function_name(Call call);

// How an injected failure answers.
enum class Failure {
  kError,          // -1 and an error object "injected failure" in the slot
  kErrorNoObject,  // -1 and no error object
  kNullObject,     // 1 with a null object (calls that hand out an object;
                   // elsewhere recorded as a fault and answered as kError)
  kNotAvailable,   // 0 and no error: "not available" for entry-value, body
                   // and item-by-identifier reads, end of data for
                   // read_buffer; -1 for seek_offset
  kThrowBadAlloc,     // throws std::bad_alloc, as running out of memory does
  kThrowNonStandard,  // throws an int: an exception of no standard type
};

// Matches every call of a function in fail_at().
constexpr int64_t kAnyCall = -1;

// Failure rules of one model object, or the global ones. An object's rules
// live as long as the object, the global ones until reset(); the first rule
// that matches a call decides, the object's before the global ones.
class FailureRules {
 public:
  void add(Call call, int64_t at, Failure how);
  // The failure for a call of `call` matching `at`, if a rule says so.
  std::optional<Failure> match(Call call, int64_t at) const;

 private:
  struct Rule {
    Call call;
    int64_t at;
    Failure how;
  };
  std::vector<Rule> rules_;
};

// fail()/fail_at() for every kind of model object. A rule applies to the
// calls made on that object: on a Node, the folder, item, message and
// attachment calls given one of its items; on a RecordSet or an Entry, the
// record-set or record-entry calls given it; on the Archive, the file calls
// (open, close, root folder, message store, item by identifier).
template <typename Self>
class Failable {
 public:
  // Every call of `call` on this object fails as `how`.
  Self& fail(Call call, Failure how = Failure::kError) {
    rules_.add(call, kAnyCall, how);
    return static_cast<Self&>(*this);
  }
  // The calls of `call` on this object whose "at" (see Call) equals `at`.
  Self& fail_at(Call call, int64_t at, Failure how = Failure::kError) {
    rules_.add(call, at, how);
    return static_cast<Self&>(*this);
  }
  const FailureRules& rules() const { return rules_; }

 private:
  FailureRules rules_;
};

// One property record: what libpff_record_entry_get_* report.
class Entry : public Failable<Entry> {
 public:
  Entry(uint32_t type, uint32_t value, std::string bytes)
      : entry_type(type), value_type(value), data(std::move(bytes)) {}
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;

  uint32_t entry_type;
  uint32_t value_type;
  std::string data;  // the raw value bytes
};

// One record set of an item: entries in index order.
class RecordSet : public Failable<RecordSet> {
 public:
  RecordSet() = default;
  RecordSet(const RecordSet&) = delete;
  RecordSet& operator=(const RecordSet&) = delete;

  // Appends an entry; earlier entries of the same type stay.
  Entry& add(uint32_t entry_type, uint32_t value_type, std::string data);
  // Replaces the data of the first entry of `entry_type`, or appends one.
  Entry& set(uint32_t entry_type, uint32_t value_type, std::string data);
  // The first entry of `entry_type`, or null.
  Entry* find(uint32_t entry_type) const;
  Entry& entry(size_t index) const { return *entries_.at(index); }
  size_t size() const { return entries_.size(); }

 private:
  std::vector<std::unique_ptr<Entry>> entries_;
};

enum class Kind { kFolder, kMessage, kAttachment, kSubItem, kMessageStore };

// An item of the archive: folder, message, attachment, sub-item (recipient)
// or the message store. Any node may hold any children; the kind only names
// it in descriptions. Setters return the node so that they chain.
class Node : public Failable<Node> {
 public:
  // `next_identifier` numbers the nodes of one archive (see identifier());
  // null for a node outside an archive, which is numbered 0.
  Node(Kind kind, std::string label, uint32_t* next_identifier = nullptr);
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  // Children, in index order. Labels are derived from the parent's
  // ("root/folder 0/message 1") unless given.
  Node& add_folder(std::string label = {});
  Node& add_message(std::string label = {});
  Node& add_sub_item(std::string label = {});
  Node& add_attachment(std::string data = {}, std::string label = {});

  // Replaces the node's identifier: what libpff_item_get_identifier gives
  // and libpff_file_get_item_by_identifier(id) finds. Every node of an
  // archive has one: by default 0x10000000 plus its creation number in the
  // archive, so the automatic ones are unique and stay clear of the small
  // identifiers that tests choose. Two nodes may be given the same one (a
  // damaged archive); the look-up finds the first in pre-order.
  Node& set_identifier(uint32_t id);

  // Entries of record set 0, replacing an earlier entry of the same type:
  // set_unicode stores UTF-16LE without terminator (value type 0x001F);
  // set_string8 stores the bytes as given (0x001E); set_u16 2 bytes LE
  // (0x0002); set_u32 4 bytes LE (0x0003); set_bool 1 byte (0x000B);
  // set_filetime 8 bytes LE (0x0040); set_binary the bytes (0x0102).
  Node& set_unicode(uint32_t entry_type, std::string_view utf8);
  Node& set_string8(uint32_t entry_type, std::string_view bytes);
  Node& set_u16(uint32_t entry_type, uint16_t value);
  Node& set_u32(uint32_t entry_type, uint32_t value);
  Node& set_bool(uint32_t entry_type, bool value);
  Node& set_filetime(uint32_t entry_type, uint64_t ticks);
  Node& set_binary(uint32_t entry_type, std::string_view bytes);
  // Appends a raw entry to record set `record_set` (created, with empty sets
  // before it, when missing).
  Entry& add_entry(int record_set, uint32_t entry_type, uint32_t value_type,
                   std::string data);
  // Record set `index`, created (with empty sets before it) when missing. A
  // node has no record set until one is created here or by an entry setter;
  // entry-value reads of a node without record sets fail (-1), as reads of a
  // missing record set do in libpff.
  RecordSet& record_set(int index);
  const std::vector<std::unique_ptr<RecordSet>>& record_sets() const { return record_sets_; }

  // Bodies as libpff gives them, without terminator. Absent unless set.
  Node& set_plain_text_body(std::string bytes);
  Node& set_html_body(std::string bytes);
  // Attachment data (also settable through add_attachment).
  Node& set_data(std::string bytes);

  // Makes a count or size call (kFolderGetNumberOfSubMessages,
  // kFolderGetNumberOfSubFolders, kItemGetNumberOfRecordSets,
  // kItemGetNumberOfSubItems, kMessageGetNumberOfAttachments,
  // kAttachmentGetDataSize) report `value` instead of the real number; an
  // index beyond the real children then fails as a bad index would.
  Node& report(Call call, int64_t value);
  std::optional<int64_t> reported(Call call) const;

  Kind kind() const { return kind_; }
  const std::string& label() const { return label_; }
  uint32_t identifier() const { return identifier_; }
  const std::vector<std::unique_ptr<Node>>& folders() const { return folders_; }
  const std::vector<std::unique_ptr<Node>>& messages() const { return messages_; }
  const std::vector<std::unique_ptr<Node>>& sub_items() const { return sub_items_; }
  const std::vector<std::unique_ptr<Node>>& attachments() const { return attachments_; }
  const std::optional<std::string>& plain_text_body() const { return plain_text_body_; }
  const std::optional<std::string>& html_body() const { return html_body_; }
  const std::string& data() const { return data_; }
  // The first entry of `entry_type` in record set `record_set`, or null.
  Entry* find_entry(uint32_t entry_type, int record_set = 0) const;
  // Pre-order search of this node and everything below it.
  Node* find_by_identifier(uint32_t id);

 private:
  Node& add_child(std::vector<std::unique_ptr<Node>>& list, Kind kind,
                  const char* what, std::string label);

  Kind kind_;
  std::string label_;
  uint32_t* next_identifier_;
  uint32_t identifier_;
  std::vector<std::unique_ptr<RecordSet>> record_sets_;
  std::vector<std::unique_ptr<Node>> folders_, messages_, sub_items_, attachments_;
  std::optional<std::string> plain_text_body_, html_body_;
  std::string data_;
  std::map<Call, int64_t> reported_;
};

// A whole archive: the root folder and the message store, each the top of a
// tree of nodes. Rules set on the archive apply to the file-level calls
// (open, close, root folder, message store, item by identifier).
class Archive : public Failable<Archive> {
 public:
  Archive();
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

  Node& root() { return root_; }
  Node& message_store() { return message_store_; }
  // The node carrying `id` under the root or the message store, or null.
  Node* find_by_identifier(uint32_t id);

 private:
  uint32_t next_identifier_ = 0x10000000;
  Node root_;
  Node message_store_;
};

// While alive, libpff_file_open(file, path, ...) opens `archive` (the path
// is compared as bytes; libpff_file_open_wide compares its UTF-8 form).
// Opening any other path fails with -1 and an error, as a file that is not
// a PST does. The path is not created on disk: a test whose code checks that
// the archive exists creates the file itself.
class ArchiveRegistration {
 public:
  ArchiveRegistration(std::string path, Archive& archive);
  ~ArchiveRegistration();
  ArchiveRegistration(const ArchiveRegistration&) = delete;
  ArchiveRegistration& operator=(const ArchiveRegistration&) = delete;

 private:
  std::string path_;
};

// Hands out a libpff item for `node`, as libpff would (it is accounted for
// and must be freed with libpff_item_free).
libpff_item_t* open_item(Node& node);

// An item handed out by open_item and freed (libpff_item_free) on scope exit.
class ScopedItem {
 public:
  explicit ScopedItem(Node& node) : item_(open_item(node)) {}
  ~ScopedItem();
  ScopedItem(const ScopedItem&) = delete;
  ScopedItem& operator=(const ScopedItem&) = delete;
  libpff_item_t* get() const { return item_; }

 private:
  libpff_item_t* item_;
};

// One call of a fake C function, as logged.
struct CallRecord {
  Call call;
  // The model object the call was made on (Node, RecordSet, Entry or
  // Archive), or null (version, initialize, frees, errors, bad handles).
  const void* object = nullptr;
  // The integer arguments in the order of the C signature, e.g.
  // {record_set_index, entry_type, flags} for libpff_item_get_entry_value_32bit,
  // {record_set_index, entry_type, utf8_string_size, flags} for
  // libpff_item_get_entry_value_utf8_string, {buffer_size} for
  // libpff_attachment_data_read_buffer, {offset, whence} for
  // libpff_attachment_data_seek_offset, {index} for the get-by-index calls,
  // {access_flags} for the open calls.
  std::vector<int64_t> args;
  // The path given to the open calls (UTF-8), else empty.
  std::string text;
};

// Process-wide state, one instance per test: resets on construction and
// on destruction (rules, registrations, call log, accounting).
class Session {
 public:
  Session();
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
};

// Forgets everything recorded: the call log, handed-out objects, faults,
// global failure rules, registrations and per-object call counts.
void reset();

// Global failure rules: they apply to every object (checked after the
// object's own rules). The only way to fail libpff_file_initialize.
void fail(Call call, Failure how = Failure::kError);
void fail_at(Call call, int64_t at, Failure how = Failure::kError);

// Every call since the Session began, in order (frees and error calls too).
std::vector<CallRecord> calls();
// The calls of one function, optionally only those on `object`.
std::vector<CallRecord> calls(Call call, const void* object = nullptr);
// The buffer sizes of the read_buffer calls / the offsets of the seek calls
// made on items of `attachment`.
std::vector<int64_t> read_sizes(const Node& attachment);
std::vector<int64_t> seek_offsets(const Node& attachment);

// Objects handed out (file, item, record set, record entry, error) and not
// freed, one description each, e.g. "item root/folder 0/message 1 (from
// libpff_folder_get_sub_message)".
std::vector<std::string> leaks();
// Misuses recorded instead of crashing: double frees, frees of pointers
// never handed out, calls on freed objects, non-null out-parameters.
std::vector<std::string> faults();
// leaks() and faults() as one text, one line each; empty when clean.
std::string audit();
// How many objects of any kind were handed out since the Session began.
size_t handed_out();

}  // namespace fakepff

#endif  // QUILLMAR_TESTS_FAKE_LIBPFF_FAKE_LIBPFF_H_
