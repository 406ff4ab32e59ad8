// Times the text primitives that see attacker-controlled text on adversarial
// inputs of 1 KB, 1 MB and 10 MB. Linear code shows a flat ns/byte column.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "fields/message_fields.h"
#include "fields/transport_headers.h"
#include "message/address_extraction.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRuns = 5;
constexpr size_t kSizes[] = {size_t{1} << 10, size_t{1} << 20, size_t{10} << 20};

// piece repeated after head until the text holds size bytes.
std::string repeat(const std::string& head, const std::string& piece, size_t size) {
  std::string text = head;
  text.reserve(size + piece.size());
  while (text.size() < size) text += piece;
  text.resize(size);
  return text;
}

struct Case {
  const char* function;
  const char* shape;
  std::function<std::string(size_t)> make_input;
  std::function<size_t(const std::string&)> run;  // returns a result size
};

std::vector<Case> cases() {
  auto first = [](const std::string& t) { return quillmar::extract_first_email_address(t).size(); };
  auto all = [](const std::string& t) { return quillmar::extract_email_addresses(t).size(); };
  auto subject = [](const std::string& t) { return quillmar::find_transport_header(t, "Subject").size(); };
  auto normalize = [](const std::string& t) { return quillmar::normalize_recipient_list(t).size(); };
  return {
      {"extract_first_email_address", "local-part run", [](size_t n) { return repeat("", "a", n - 6) + "@ab.cd"; }, first},
      {"extract_first_email_address", "a.a.a domain, no label", [](size_t n) { return repeat("a@", "a.", n); }, first},
      {"extract_first_email_address", "'@' only", [](size_t n) { return std::string(n, '@'); }, first},
      {"extract_email_addresses", "a.b@ repeated", [](size_t n) { return repeat("", "a.b@", n); }, all},
      {"extract_email_addresses", "a.a.a domain, no label", [](size_t n) { return repeat("a@", "a.", n); }, all},
      // Linear too, but its set of seen addresses outgrows the caches
      // between 1 MB and 10 MB, which costs several times more per byte.
      {"extract_email_addresses", "distinct addresses", [](size_t n) {
         std::string text;
         for (size_t i = 0; text.size() < n; ++i) text += "u" + std::to_string(i) + "@ex.com, ";
         return text;
       }, all},
      {"find_transport_header", "continuation lines", [](size_t n) { return repeat("Subject: s\r\n", " x\r\n", n); }, subject},
      {"find_transport_header", "stray + continuation", [](size_t n) { return repeat("Subject: s\n", "junk\n x\n", n); }, subject},
      {"find_transport_header", "one long line", [](size_t n) { return repeat("Subject: ", "a", n); }, subject},
      {"find_transport_header", "many headers", [](size_t n) { return repeat("", "Subject: s\n", n); }, subject},
      {"normalize_recipient_list", "blank run", [](size_t n) { return "a" + std::string(n - 2, ' ') + "b"; }, normalize},
      {"normalize_recipient_list", "x  <TAB>, repeated", [](size_t n) { return repeat("", "x  \t,", n); }, normalize},
  };
}

double median_seconds(const Case& c, const std::string& input, size_t& sink) {
  std::vector<double> seconds;
  for (int run = 0; run < kRuns; ++run) {
    Clock::time_point start = Clock::now();
    sink += c.run(input);
    seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }
  std::sort(seconds.begin(), seconds.end());
  return seconds[seconds.size() / 2];
}

}  // namespace

int main() {
  size_t sink = 0;
  std::printf("%-28s %-24s %10s %12s %9s\n", "function", "input", "bytes", "median ms",
              "ns/byte");
  for (const Case& c : cases()) {
    for (size_t size : kSizes) {
      std::string input = c.make_input(size);
      double seconds = median_seconds(c, input, sink);
      std::printf("%-28s %-24s %10zu %12.3f %9.2f\n", c.function, c.shape, input.size(),
                  seconds * 1e3, seconds * 1e9 / static_cast<double>(input.size()));
    }
  }
  std::printf("(result bytes: %zu)\n", sink);
  return 0;
}
