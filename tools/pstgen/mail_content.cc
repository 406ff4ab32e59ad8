#include "mail_content.h"

#include <cstdio>

namespace pstgen {
namespace {

constexpr const char* kFirstNames[] = {
    "Claire", "Thomas", "Amélie", "Lukas", "Sofia",  "Jonas",  "Chloé", "Mateo", "Hannah", "Noah",
    "Élodie", "Karim",  "Ingrid", "Pavel", "Yuki",   "Olivia", "Rafael", "Zoé", "Henrik", "Maja"};
constexpr const char* kLastNames[] = {
    "Martin",  "Müller", "Rossi",  "García", "Dubois", "Nowak",   "Jensen", "Moreau", "Silva", "Novák",
    "Lefèvre", "Weber",  "Bianchi", "Laurent", "Fischer", "Girard", "Kowalski", "Bernard", "Costa", "Schmidt"};
constexpr const char* kDomains[] = {"northwind.example", "contoso.example", "fabrikam.example",
                                    "adatum.example", "litware.example", "tailspin.example"};
constexpr const char* kSubjectOpeners[] = {"", "", "", "Re: ", "RE: ", "Fwd: ", "TR: "};
constexpr const char* kSubjectTopics[] = {
    "Quarterly report", "Budget review", "Meeting notes", "Invoice", "Travel plans", "Contract draft",
    "Project kickoff", "Weekly status", "Customer feedback", "Release schedule", "Offsite agenda",
    "Hiring plan", "Security audit", "Lunch on Friday", "Réunion d'équipe", "Planung für März"};
constexpr const char* kSubjectObjects[] = {
    "for project Falcon", "Q3", "– action items", "(draft v2)", "for the Lyon office", "next steps",
    "and open questions", "#4711", "— please review", "before Monday", "2024", "for the board"};
constexpr const char* kWords[] = {
    "the", "report", "project", "we", "should", "review", "budget", "next", "week", "meeting",
    "please", "find", "attached", "numbers", "team", "customer", "schedule", "agree", "update", "plan",
    "deadline", "quickly", "thanks", "regards", "forecast", "contract", "office", "travel", "notes",
    "question", "answer", "draft", "final", "version", "details", "summary", "progress", "risk"};
constexpr const char* kWeekdays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};  // 1970-01-01 was a Thursday
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr uint64_t kTicksPerSecond = 10000000;
constexpr uint64_t kUnixEpochSeconds = 11644473600;  // 1601-01-01 to 1970-01-01

template <typename T, size_t N>
const T& pick(Random& rng, const T (&items)[N]) {
  return items[rng.below(N)];
}

// The unaccented lower-case letter for the Latin-1 letter U+00C0 + `offset`
// (the second byte of its UTF-8 form minus 0x80), or 0 to drop it.
char unaccented(unsigned offset) {
  static constexpr char kFold[] = "aaaaaaaceeeeiiii_nooooo_ouuuuy__aaaaaaaceeeeiiii_nooooo_ouuuuy_y";
  return offset < 64 && kFold[offset] != '_' ? kFold[offset] : 0;
}

// ASCII lower-case form of a name for an address ("Élodie" -> "elodie").
std::string address_part(const std::string& name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
    } else if (c == 0xC3 && i + 1 < name.size()) {
      const char folded = unaccented(static_cast<unsigned char>(name[++i]) - 0x80u);
      if (folded != 0) out.push_back(folded);
    }
  }
  return out;
}

bool is_ascii(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

std::string base64(const std::string& in) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < in.size(); i += 3) {
    uint32_t n = static_cast<uint32_t>(static_cast<unsigned char>(in[i])) << 16;
    if (i + 1 < in.size()) n |= static_cast<uint32_t>(static_cast<unsigned char>(in[i + 1])) << 8;
    if (i + 2 < in.size()) n |= static_cast<unsigned char>(in[i + 2]);
    out.push_back(kAlphabet[(n >> 18) & 63]);
    out.push_back(kAlphabet[(n >> 12) & 63]);
    out.push_back(i + 1 < in.size() ? kAlphabet[(n >> 6) & 63] : '=');
    out.push_back(i + 2 < in.size() ? kAlphabet[n & 63] : '=');
  }
  return out;
}

// Header text: as is when ASCII, else one RFC 2047 encoded word.
std::string header_text(const std::string& text) {
  return is_ascii(text) ? text : "=?UTF-8?B?" + base64(text) + "?=";
}

std::string mailbox(const Person& p) {
  return (is_ascii(p.name) ? "\"" + p.name + "\"" : header_text(p.name)) + " <" + p.email + ">";
}

// "Name: a, b, c" folded before an address that would pass column 78.
std::string folded_address_header(const std::string& name, const std::vector<Person>& people) {
  std::string out = name + ":";
  size_t column = out.size();
  for (size_t i = 0; i < people.size(); ++i) {
    const std::string item = mailbox(people[i]) + (i + 1 < people.size() ? "," : "");
    if (column + 1 + item.size() > 78 && i > 0) {
      out += "\r\n\t";
      column = 1;
    } else {
      out += " ";
      ++column;
    }
    out += item;
    column += item.size();
  }
  return out + "\r\n";
}

// Civil date from days since 1970-01-01 (Howard Hinnant's algorithm).
void civil_from_days(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

std::string hex_token(Random& rng, int digits) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (int i = 0; i < digits; ++i) out.push_back(kHex[rng.below(16)]);
  return out;
}

std::string received_line(Random& rng, const std::string& recipient, uint64_t date) {
  const std::string relay = "mail" + std::to_string(rng.between(1, 40)) + "." + pick(rng, kDomains);
  const std::string ip = "10." + std::to_string(rng.below(256)) + "." + std::to_string(rng.below(256)) + "." +
                         std::to_string(rng.between(1, 254));
  return "Received: from " + relay + " (" + relay + " [" + ip + "])\r\n\tby mx" +
         std::to_string(rng.between(1, 9)) + "." + pick(rng, kDomains) + " (Postfix) with ESMTPS id " +
         hex_token(rng, 12) + "\r\n\tfor <" + recipient + ">; " + rfc5322_date(date) + "\r\n";
}

}  // namespace

Person random_person(Random& rng) {
  const std::string first = pick(rng, kFirstNames);
  const std::string last = pick(rng, kLastNames);
  return {first + " " + last, address_part(first) + "." + address_part(last) + "@" + pick(rng, kDomains)};
}

std::string random_subject(Random& rng) {
  return std::string(pick(rng, kSubjectOpeners)) + pick(rng, kSubjectTopics) + " " + pick(rng, kSubjectObjects);
}

std::string random_body(Random& rng, size_t size) {
  std::string body;
  size_t line = 0;
  bool sentence_start = true;
  while (body.size() < size) {
    std::string word = pick(rng, kWords);
    if (sentence_start) word[0] = static_cast<char>(word[0] - 'a' + 'A');
    sentence_start = rng.one_in(9);
    if (sentence_start) word += ".";
    if (line + word.size() + 1 > 76) {
      body += rng.one_in(6) ? "\r\n\r\n" : "\r\n";
      line = 0;
    } else if (line > 0) {
      body += " ";
      ++line;
    }
    body += word;
    line += word.size();
  }
  body.resize(size);
  return body;
}

std::string rfc5322_date(uint64_t filetime) {
  const int64_t unix_seconds = static_cast<int64_t>(filetime / kTicksPerSecond) - static_cast<int64_t>(kUnixEpochSeconds);
  const int64_t days = (unix_seconds >= 0 ? unix_seconds : unix_seconds - 86399) / 86400;
  const int64_t secs = unix_seconds - days * 86400;
  int64_t year = 0;
  unsigned month = 0, day = 0;
  civil_from_days(days, year, month, day);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %02u %s %04lld %02lld:%02lld:%02lld +0000",
                kWeekdays[((days % 7) + 7) % 7], day, kMonths[month - 1], static_cast<long long>(year),
                static_cast<long long>(secs / 3600), static_cast<long long>(secs / 60 % 60),
                static_cast<long long>(secs % 60));
  return buf;
}

std::string random_transport_headers(Random& rng, const MailHeaders& fields, size_t target_size) {
  std::string tail = "Return-Path: <" + fields.from.email + ">\r\n";
  tail += "From: " + mailbox(fields.from) + "\r\n";
  if (!fields.to.empty()) tail += folded_address_header("To", fields.to);
  if (!fields.cc.empty()) tail += folded_address_header("Cc", fields.cc);
  tail += "Subject: " + header_text(fields.subject) + "\r\n";
  tail += "Date: " + rfc5322_date(fields.date) + "\r\n";
  tail += "Message-ID: <" + hex_token(rng, 16) + "." + hex_token(rng, 8) + "@" +
          fields.from.email.substr(fields.from.email.find('@') + 1) + ">\r\n";
  tail += "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=\"utf-8\"\r\n";
  tail += "Content-Transfer-Encoding: 8bit\r\nX-Mailer: pstgen\r\n\r\n";
  const std::string recipient = fields.to.empty() ? fields.from.email : fields.to.front().email;
  std::string received;
  uint64_t hop_time = fields.date;
  while (true) {
    const std::string hop = received_line(rng, recipient, hop_time);
    if (!received.empty() && received.size() + hop.size() + tail.size() > target_size) break;
    received += hop;
    hop_time -= rng.between(1, 90) * kTicksPerSecond;
  }
  return received + tail;
}

std::string address_list(const std::vector<Person>& people) {
  std::string out;
  for (const Person& p : people) {
    if (!out.empty()) out += ", ";
    out += "\"" + p.name + "\" <" + p.email + ">";
  }
  return out;
}

std::string display_list(const std::vector<Person>& people) {
  std::string out;
  for (const Person& p : people) {
    if (!out.empty()) out += "; ";
    out += p.name;
  }
  return out;
}

}  // namespace pstgen
