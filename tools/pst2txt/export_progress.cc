#include "export_progress.h"

#include <algorithm>

namespace pst2txt {
namespace {

constexpr std::string_view kMailLine = "MAIL ";
constexpr size_t kMaxDigits = 10;
// "MAIL " and the most digits, then " OK": longer heads are cut here.
constexpr size_t kHeadBytes = kMailLine.size() + kMaxDigits + 3;

}  // namespace

std::optional<uint64_t> mail_line_number(std::string_view line) {
  if (line.substr(0, kMailLine.size()) != kMailLine) return std::nullopt;
  line.remove_prefix(kMailLine.size());
  const size_t digits = std::min(line.find_first_not_of("0123456789"), line.size());
  if (digits == 0 || digits > kMaxDigits || line.substr(digits, 3) != " OK") return std::nullopt;
  uint64_t number = 0;
  for (size_t i = 0; i < digits; ++i) number = number * 10 + static_cast<uint64_t>(line[i] - '0');
  return number;
}

void ExportProgress::take_output(std::string_view bytes) {
  uint64_t highest = 0;
  for (const char byte : bytes) {
    if (byte != '\n') {
      if (line_.size() < kHeadBytes) line_ += byte;
      continue;
    }
    highest = std::max(highest, mail_line_number(line_).value_or(0));
    line_.clear();
  }
  if (highest == 0) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    printed_ = std::max(printed_, highest);
  }
  changed_.notify_all();
}

void ExportProgress::finish() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
  }
  changed_.notify_all();
}

void ExportProgress::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
  }
  changed_.notify_all();
}

bool ExportProgress::passed(uint64_t number) {
  std::lock_guard<std::mutex> lock(mutex_);
  return passed_locked(number);
}

void ExportProgress::wait_for(uint64_t number) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return passed_locked(number); });
}

bool ExportProgress::stopped() {
  std::lock_guard<std::mutex> lock(mutex_);
  return stopped_;
}

bool ExportProgress::passed_locked(uint64_t number) const {
  return stopped_ || finished_ || (number != kEnd && printed_ >= number);
}

}  // namespace pst2txt
