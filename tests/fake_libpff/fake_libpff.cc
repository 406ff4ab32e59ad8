// The fake's C functions for the library, the file object, folders and
// errors. Behaviours measured on Debian's libpff 20180714 (enron.pst and the
// two .ost files of pst-extractor 1.12.0) and mirrored here:
// - libpff_file_open of a path that is not a PST (or, here, not registered)
//   gives -1, "unable to open file: <path>.".
// - A call on a file that is not open gives -1, "invalid file - missing file
//   IO handle.".
// - libpff_file_get_item_by_identifier of an unknown identifier gives 0 and
//   no error (the real one also finds an item for identifier 0; the fake
//   finds only nodes given that identifier).
// - An out-parameter object that is not null on entry gives -1, "<what>
//   already set." (e.g. "root folder already set.").
// - A get-by-index call with an index out of range gives -1 with an error.
// - libpff_error_fprint prints only the most recent message of an error;
//   libpff_error_fprint(NULL, ...) prints nothing.
// - Freeing a null object (item, record set, entry, file) is a no-op with
//   result 1; a null pointer-to-pointer gives -1, "invalid item.".
#include <cstdio>

#include "fake_libpff/fake_libpff.h"
#include "fake_libpff/fake_libpff_internal.h"

using fakepff::Call;
using fakepff::Node;
using fakepff::internal::Handle;
using fakepff::internal::HandleKind;
using fakepff::internal::Invocation;
using fakepff::internal::to_pointer;

namespace {

constexpr int kAccessFlagRead = 0x01;

// The open file behind `file`, or null after answering as libpff does.
Handle* open_file(Invocation& call, libpff_file_t* file, libpff_error_t** error) {
  Handle* handle = call.resolve(file, HandleKind::kFile, "file", error);
  if (handle == nullptr) return nullptr;
  if (handle->archive == nullptr) {
    call.error(error, "invalid file - missing file IO handle.");
    return nullptr;
  }
  call.on(handle->archive);
  return handle;
}

int open_archive(Invocation& call, libpff_file_t* file, const std::string& path,
                 int access_flags, libpff_error_t** error) {
  Handle* handle = call.resolve(file, HandleKind::kFile, "file", error);
  if (handle == nullptr) return -1;
  if (handle->archive != nullptr) return call.error(error, "invalid file - file IO handle already set.");
  if (access_flags != kAccessFlagRead) return call.error(error, "write access currently not supported.");
  fakepff::Archive* archive = fakepff::internal::registered_archive(path);
  if (archive == nullptr) return call.error(error, "unable to open file: " + path + ".");
  call.on(archive);
  if (auto how = call.injected(&archive->rules(), call.ordinal())) return call.answer(*how, error);
  handle->archive = archive;
  return 1;
}

// Hands out an item for `node` into `out`.
int give_item(Invocation& call, Node& node, libpff_item_t** out) {
  Handle& handle = call.hand_out(HandleKind::kItem, "item " + node.label());
  handle.node = &node;
  *out = to_pointer<libpff_item_t>(handle);
  return 1;
}

// The file-level calls that hand out the root folder or the message store.
int top_item(Invocation& call, libpff_file_t* file, libpff_item_t** out, const char* what,
             Node& (fakepff::Archive::*pick)(), libpff_error_t** error) {
  Handle* handle = open_file(call, file, error);
  if (handle == nullptr || !call.out_ok(out, what, error)) return -1;
  if (auto how = call.injected(&handle->archive->rules(), call.ordinal())) {
    return call.answer(*how, error, out);
  }
  return give_item(call, (handle->archive->*pick)(), out);
}

using Children = const std::vector<std::unique_ptr<Node>>& (Node::*)() const;

int count_children(Call which, libpff_item_t* item, int* count, const char* what,
                   Children children, libpff_error_t** error) {
  Invocation call(which, {});
  Handle* handle = call.resolve(item, HandleKind::kItem, "item", error);
  if (handle == nullptr || !call.value_out_ok(count, what, error)) return -1;
  call.on(handle->node);
  if (auto how = call.injected(&handle->node->rules(), call.ordinal())) return call.answer(*how, error);
  auto reported = handle->node->reported(which);
  *count = static_cast<int>(reported ? *reported : static_cast<int64_t>((handle->node->*children)().size()));
  return 1;
}

int get_child(Call which, libpff_item_t* item, int index, libpff_item_t** out, const char* what,
              Children children, libpff_error_t** error) {
  Invocation call(which, {index});
  Handle* handle = call.resolve(item, HandleKind::kItem, "item", error);
  if (handle == nullptr || !call.out_ok(out, what, error)) return -1;
  call.on(handle->node);
  if (auto how = call.injected(&handle->node->rules(), index)) return call.answer(*how, error, out);
  const auto& list = (handle->node->*children)();
  if (index < 0 || static_cast<size_t>(index) >= list.size()) {
    return call.error(error, "invalid " + std::string(what) + " index value out of bounds.");
  }
  return give_item(call, *list[static_cast<size_t>(index)], out);
}

}  // namespace

extern "C" {

const char* libpff_get_version(void) {
  Invocation call(Call::kGetVersion, {});
  return "20180714";
}

int libpff_get_access_flags_read(void) {
  Invocation call(Call::kGetAccessFlagsRead, {});
  return kAccessFlagRead;
}

int libpff_file_initialize(libpff_file_t** file, libpff_error_t** error) {
  Invocation call(Call::kFileInitialize, {});
  if (!call.out_ok(file, "file", error)) return -1;
  call.on(nullptr);
  if (auto how = call.injected(nullptr, call.ordinal())) return call.answer(*how, error, file);
  *file = to_pointer<libpff_file_t>(call.hand_out(HandleKind::kFile, "file"));
  return 1;
}

int libpff_file_open(libpff_file_t* file, const char* filename, int access_flags,
                     libpff_error_t** error) {
  std::string path = filename == nullptr ? "" : filename;
  Invocation call(Call::kFileOpen, {access_flags}, path);
  if (filename == nullptr) return call.error(error, "invalid filename.");
  return open_archive(call, file, path, access_flags, error);
}

int libpff_file_open_wide(libpff_file_t* file, const wchar_t* filename, int access_flags,
                          libpff_error_t** error) {
  std::string path = filename == nullptr ? "" : fakepff::internal::wide_to_utf8(filename);
  Invocation call(Call::kFileOpenWide, {access_flags}, path);
  if (filename == nullptr) return call.error(error, "invalid filename.");
  return open_archive(call, file, path, access_flags, error);
}

int libpff_file_close(libpff_file_t* file, libpff_error_t** error) {
  Invocation call(Call::kFileClose, {});
  Handle* handle = open_file(call, file, error);
  if (handle == nullptr) return -1;
  if (auto how = call.injected(&handle->archive->rules(), call.ordinal())) return call.answer(*how, error);
  handle->archive = nullptr;
  return 0;
}

int libpff_file_free(libpff_file_t** file, libpff_error_t** error) {
  Invocation call(Call::kFileFree, {});
  return call.release(file, HandleKind::kFile, "file", error);
}

int libpff_file_get_root_folder(libpff_file_t* file, libpff_item_t** root_folder,
                                libpff_error_t** error) {
  Invocation call(Call::kFileGetRootFolder, {});
  return top_item(call, file, root_folder, "root folder", &fakepff::Archive::root, error);
}

int libpff_file_get_message_store(libpff_file_t* file, libpff_item_t** message_store,
                                  libpff_error_t** error) {
  Invocation call(Call::kFileGetMessageStore, {});
  return top_item(call, file, message_store, "message store", &fakepff::Archive::message_store,
                  error);
}

int libpff_file_get_item_by_identifier(libpff_file_t* file, uint32_t item_identifier,
                                       libpff_item_t** item, libpff_error_t** error) {
  Invocation call(Call::kFileGetItemByIdentifier, {item_identifier});
  Handle* handle = open_file(call, file, error);
  if (handle == nullptr || !call.out_ok(item, "item", error)) return -1;
  if (auto how = call.injected(&handle->archive->rules(), item_identifier)) {
    return call.answer(*how, error, item);
  }
  Node* node = handle->archive->find_by_identifier(item_identifier);
  if (node == nullptr) return 0;
  return give_item(call, *node, item);
}

int libpff_folder_get_number_of_sub_messages(libpff_item_t* folder, int* number_of_sub_messages,
                                             libpff_error_t** error) {
  return count_children(Call::kFolderGetNumberOfSubMessages, folder, number_of_sub_messages,
                        "number of sub messages", &Node::messages, error);
}

int libpff_folder_get_sub_message(libpff_item_t* folder, int sub_message_index,
                                  libpff_item_t** sub_message, libpff_error_t** error) {
  return get_child(Call::kFolderGetSubMessage, folder, sub_message_index, sub_message,
                   "sub message", &Node::messages, error);
}

int libpff_folder_get_number_of_sub_folders(libpff_item_t* folder, int* number_of_sub_folders,
                                            libpff_error_t** error) {
  return count_children(Call::kFolderGetNumberOfSubFolders, folder, number_of_sub_folders,
                        "number of sub folders", &Node::folders, error);
}

int libpff_folder_get_sub_folder(libpff_item_t* folder, int sub_folder_index,
                                 libpff_item_t** sub_folder, libpff_error_t** error) {
  return get_child(Call::kFolderGetSubFolder, folder, sub_folder_index, sub_folder, "sub folder",
                   &Node::folders, error);
}

int libpff_item_get_number_of_sub_items(libpff_item_t* item, int* number_of_sub_items,
                                        libpff_error_t** error) {
  return count_children(Call::kItemGetNumberOfSubItems, item, number_of_sub_items,
                        "number of sub items", &Node::sub_items, error);
}

int libpff_item_get_sub_item(libpff_item_t* item, int sub_item_index, libpff_item_t** sub_item,
                             libpff_error_t** error) {
  return get_child(Call::kItemGetSubItem, item, sub_item_index, sub_item, "sub item",
                   &Node::sub_items, error);
}

int libpff_message_get_number_of_attachments(libpff_item_t* message, int* number_of_attachments,
                                             libpff_error_t** error) {
  return count_children(Call::kMessageGetNumberOfAttachments, message, number_of_attachments,
                        "number of attachments", &Node::attachments, error);
}

int libpff_message_get_attachment(libpff_item_t* message, int attachment_index,
                                  libpff_item_t** attachment, libpff_error_t** error) {
  return get_child(Call::kMessageGetAttachment, message, attachment_index, attachment,
                   "attachment", &Node::attachments, error);
}

int libpff_item_get_identifier(libpff_item_t* item, uint32_t* identifier, libpff_error_t** error) {
  Invocation call(Call::kItemGetIdentifier, {});
  Handle* handle = call.resolve(item, HandleKind::kItem, "item", error);
  if (handle == nullptr || !call.value_out_ok(identifier, "identifier", error)) return -1;
  call.on(handle->node);
  if (auto how = call.injected(&handle->node->rules(), call.ordinal())) return call.answer(*how, error);
  *identifier = handle->node->identifier();
  return 1;
}

int libpff_item_free(libpff_item_t** item, libpff_error_t** error) {
  Invocation call(Call::kItemFree, {});
  return call.release(item, HandleKind::kItem, "item", error);
}

int libpff_error_fprint(libpff_error_t* error, FILE* stream) {
  Invocation call(Call::kErrorFprint, {});
  if (error == nullptr || stream == nullptr) return -1;
  Handle* handle = call.resolve(error, HandleKind::kError, "error", nullptr);
  if (handle == nullptr) return -1;
  const std::string& last = handle->messages.back();
  return std::fprintf(stream, "libpff: %s\n", last.c_str()) < 0 ? -1 : 1;
}

void libpff_error_free(libpff_error_t** error) {
  Invocation call(Call::kErrorFree, {});
  if (error == nullptr) return;
  call.release(error, HandleKind::kError, "error", nullptr);
}

}  // extern "C"
