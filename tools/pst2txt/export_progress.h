// How far an export running beside the completeness check has come, told by
// its standard output: the library prints "MAIL n OK -> <directory>" once
// message n's directory is final, n = 1, 2, 3... in order, and nothing more
// is written once it returns. The check waits here before it reads what a
// message should have left.
#ifndef QUILLMAR_TOOLS_PST2TXT_EXPORT_PROGRESS_H_
#define QUILLMAR_TOOLS_PST2TXT_EXPORT_PROGRESS_H_

#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace pst2txt {

// n of a line "MAIL n OK..." (its line end excluded or not); nothing for
// any other line, and for an n of more than ten digits.
std::optional<uint64_t> mail_line_number(std::string_view line);

class ExportProgress {
 public:
  // What wait_for is given to wait for the export's end.
  static constexpr uint64_t kEnd = std::numeric_limits<uint64_t>::max();

  // Bytes of the export's standard output as they come, in pieces of any
  // size. One caller at a time.
  void take_output(std::string_view bytes);
  // The export has returned.
  void finish();
  // The check's result is no longer wanted: every wait ends.
  void stop();

  // Whether message number's directory is final (kEnd: all are), or the
  // progress stopped.
  bool passed(uint64_t number);
  // Blocks until passed(number).
  void wait_for(uint64_t number);
  bool stopped();

 private:
  bool passed_locked(uint64_t number) const;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::string line_;     // the current line's first bytes, enough to tell a MAIL line
  uint64_t printed_ = 0;  // the highest n of a MAIL line so far
  bool finished_ = false;
  bool stopped_ = false;
};

}  // namespace pst2txt

#endif  // QUILLMAR_TOOLS_PST2TXT_EXPORT_PROGRESS_H_
