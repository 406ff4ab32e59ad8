// Owners for the objects that libpff hands out. Each object belongs to the
// function that obtained it and is released as soon as its owner goes out of
// scope, or earlier through reset(). Every out-parameter starts as null.
#ifndef QUILLMAR_PROPERTIES_LIBPFF_HANDLES_H_
#define QUILLMAR_PROPERTIES_LIBPFF_HANDLES_H_

#include <libpff.h>

namespace quillmar {

// Frees a pending error object, if any, without output; leaves the slot null.
inline void discard_error(libpff_error_t** error) {
  if (*error != nullptr) libpff_error_free(error);
  *error = nullptr;
}

// Owner of one libpff object of type T, released with Free.
template <typename T, int (*Free)(T**, libpff_error_t**)>
class LibpffObject {
 public:
  LibpffObject() = default;
  LibpffObject(const LibpffObject&) = delete;
  LibpffObject& operator=(const LibpffObject&) = delete;
  ~LibpffObject() { reset(); }

  // Out-parameter for a libpff call; releases what was held first.
  T** out() {
    reset();
    return &object_;
  }
  T* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

  void reset() {
    if (object_ != nullptr) Free(&object_, nullptr);
    object_ = nullptr;
  }

 private:
  T* object_ = nullptr;
};

using ItemHandle = LibpffObject<libpff_item_t, libpff_item_free>;
using RecordSetHandle = LibpffObject<libpff_record_set_t, libpff_record_set_free>;
using RecordEntryHandle = LibpffObject<libpff_record_entry_t, libpff_record_entry_free>;

// True when a libpff call that hands out an object really did: it returned 1
// and the object is not null.
template <typename Handle>
bool obtained(int result, const Handle& handle) {
  return result == 1 && static_cast<bool>(handle);
}

}  // namespace quillmar

#endif  // QUILLMAR_PROPERTIES_LIBPFF_HANDLES_H_
