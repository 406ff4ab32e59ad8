// Where a run's console lines go: straight to the standard streams, or kept
// in order and written later, so that work done out of order prints in the
// order of a serial run.
#ifndef QUILLMAR_RUN_CONSOLE_H_
#define QUILLMAR_RUN_CONSOLE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <libpff.h>

namespace quillmar {

class Console {
 public:
  enum class Mode {
    kDirect,  // each text written at once on standard output or error
    kRecord,  // kept, with the mark current when it came, for replay
    kDrop,    // nothing kept: the same lines are recorded by another walker
  };

  explicit Console(Mode mode = Mode::kDirect) : mode_(mode) {}

  void out(std::string_view text) { put(false, text); }
  void err(std::string_view text) { put(true, text); }
  // libpff's text of error (nothing for null): its outermost message and a
  // newline on the error stream, as libpff_error_fprint writes it.
  void libpff_error(libpff_error_t* error);

  // Texts recorded from now on carry this mark.
  void set_mark(int64_t mark) { mark_ = mark; }
  // Writes the recorded texts from the first not yet written up to (not
  // including) the first whose mark exceeds up_to, each with every `from`
  // replaced by `to` when from is not empty.
  void replay(int64_t up_to, std::string_view from = {}, std::string_view to = {});
  // Moves the texts recorded so far, with their marks, to the end of other's.
  void transfer_to(Console& other);

 private:
  struct Text {
    int64_t mark;
    bool error;  // standard error, not output
    std::string bytes;
  };
  void put(bool error, std::string_view text);

  Mode mode_;
  int64_t mark_ = 0;
  std::vector<Text> texts_;
  size_t replayed_ = 0;
};

}  // namespace quillmar

#endif  // QUILLMAR_RUN_CONSOLE_H_
