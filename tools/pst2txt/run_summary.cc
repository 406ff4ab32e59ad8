#include "run_summary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>

namespace pst2txt {
namespace {

std::string lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// After the last '/', or the last '\\' too where that separates names.
std::string file_stem(const std::string& path) {
  const std::string separators = {
      '/', static_cast<char>(std::filesystem::path::preferred_separator)};
  const size_t last = path.find_last_of(separators);
  std::string name = path.substr(last == std::string::npos ? 0 : last + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot != 0) name.resize(dot);
  return name.empty() || name == "." || name == ".." ? "archive" : name;
}

std::string json_string(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (byte < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      quoted += escape;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

std::string json_list(const std::vector<std::string>& lines) {
  std::string list = "[";
  for (size_t k = 0; k < lines.size(); ++k) list += (k == 0 ? "" : ", ") + json_string(lines[k]);
  return list + "]";
}

std::string seconds_text(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", seconds);
  return text;
}

}  // namespace

std::string progress_text(uint64_t done, uint64_t total, double elapsed_seconds) {
  std::string text = std::to_string(done);
  if (total > 0) text += "/" + std::to_string(total);
  text += " messages";
  if (elapsed_seconds < 1 || done == 0) return text;
  const double rate = static_cast<double>(done) / elapsed_seconds;
  text += ", " + std::to_string(static_cast<uint64_t>(std::llround(rate))) + "/s";
  if (total > done) {
    const double left = static_cast<double>(total - done) / rate;
    text += ", " + std::to_string(static_cast<uint64_t>(std::ceil(left))) + " s left";
  }
  return text;
}

std::string result_text(const ArchiveOutcome& outcome) {
  switch (outcome.result) {
    case Result::kComplete: return "complete";
    case Result::kExported: return "exported";
    case Result::kIncomplete: return "incomplete";
    case Result::kDamaged: return "damaged";
    case Result::kFailed: return "failed (code " + std::to_string(outcome.code) + ")";
    case Result::kCrashed: return "crashed (" + outcome.crash + ")";
    case Result::kTimedOut: return "timed out";
  }
  return "unknown";
}

std::string summary_table(const std::vector<ArchiveOutcome>& outcomes) {
  size_t width = 7;
  int result_width = 20;  // wider only for a longer result ("crashed (exception 0x...)")
  for (const ArchiveOutcome& outcome : outcomes) {
    width = std::max(width, outcome.archive.size());
    result_width = std::max(result_width, static_cast<int>(result_text(outcome).size()));
  }
  std::string table;
  char line[160];
  auto row = [&](const std::string& archive, const char* result, const std::string& messages,
                 const std::string& attachments, const std::string& bytes,
                 const std::string& seconds) {
    std::snprintf(line, sizeof line, "  %-*s %9s %11s %13s %8s\n", result_width, result,
                  messages.c_str(), attachments.c_str(), bytes.c_str(), seconds.c_str());
    table += archive + std::string(width - archive.size(), ' ') + line;
  };
  row("archive", "result", "messages", "attachments", "bytes", "seconds");
  for (const ArchiveOutcome& outcome : outcomes) {
    row(outcome.archive, result_text(outcome).c_str(), std::to_string(outcome.messages),
        std::to_string(outcome.attachments), std::to_string(outcome.bytes),
        seconds_text(outcome.seconds));
  }
  return table;
}

std::string json_report(const std::vector<ArchiveOutcome>& outcomes) {
  std::string json = "{\"archives\": [";
  for (size_t i = 0; i < outcomes.size(); ++i) {
    const ArchiveOutcome& o = outcomes[i];
    json += i == 0 ? "\n  {" : ",\n  {";
    json += "\"archive\": " + json_string(o.archive) +
            ", \"output\": " + json_string(o.output_dir) +
            ", \"result\": " + json_string(result_text(o)) +
            ", \"code\": " + std::to_string(o.code) +
            ", \"messages\": " + std::to_string(o.messages) +
            ", \"attachments\": " + std::to_string(o.attachments) +
            ", \"bytes\": " + std::to_string(o.bytes) +
            ", \"seconds\": " + seconds_text(o.seconds) +
            ", \"checked\": " + (o.checked ? "true" : "false") +
            ", \"reached\": " + std::to_string(o.reached) +
            ", \"written\": " + std::to_string(o.written) +
            ", \"empty\": " + std::to_string(o.empty) +
            ", \"missing\": " + json_list(o.missing) +
            ", \"damaged\": " + json_list(o.damaged) + "}";
  }
  return json + "\n]}\n";
}

int exit_status(const std::vector<ArchiveOutcome>& outcomes) {
  int status = 0;
  for (const ArchiveOutcome& outcome : outcomes) {
    switch (outcome.result) {
      case Result::kComplete:
      case Result::kExported:
        break;
      case Result::kIncomplete:
        status = 3;
        break;
      case Result::kDamaged:
        if (status == 0) status = 4;
        break;
      default:
        return 1;
    }
  }
  return status;
}

std::vector<std::string> output_names(const std::vector<std::string>& archives) {
  std::set<std::string> taken;
  std::vector<std::string> names;
  for (const std::string& archive : archives) {
    const std::string stem = file_stem(archive);
    std::string name = stem;
    for (int k = 2; taken.count(lower(name)) || taken.count(lower(name) + ".log"); ++k) {
      name = stem + "_" + std::to_string(k);
    }
    taken.insert(lower(name));
    taken.insert(lower(name) + ".log");
    names.push_back(name);
  }
  return names;
}

}  // namespace pst2txt
