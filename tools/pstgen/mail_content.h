// Plausible synthetic mail content for the generator: people, subjects,
// transport headers, bodies and dates. Every function draws only from the
// Random it is given, so content is a function of the seed.
#ifndef PSTGEN_MAIL_CONTENT_H_
#define PSTGEN_MAIL_CONTENT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "random.h"

namespace pstgen {

struct Person {
  std::string name;   // "Claire Martin"
  std::string email;  // "claire.martin@northwind.example"
};

Person random_person(Random& rng);
std::string random_subject(Random& rng);

// ASCII text of exactly `size` bytes: words in sentences, lines of at most
// 76 characters ended by CR LF, paragraphs separated by a blank line.
std::string random_body(Random& rng, size_t size);

// An RFC 5322 date ("Thu, 21 Dec 2023 02:40:00 +0000") for a FILETIME.
std::string rfc5322_date(uint64_t filetime);

struct MailHeaders {
  Person from;
  std::vector<Person> to;
  std::vector<Person> cc;
  std::string subject;
  uint64_t date = 0;  // FILETIME
};

// A transport header block (Received chain, From, To, Cc, Subject, Date,
// Message-ID, MIME headers...) of about `target_size` bytes, CR LF line
// ends, To and Cc folded over several lines when long, ending with an empty
// line.
std::string random_transport_headers(Random& rng, const MailHeaders& fields, size_t target_size);

// "Name <email>, Name <email>" as in a To or Cc header.
std::string address_list(const std::vector<Person>& people);
// "Name; Name" as in PidTagDisplayTo.
std::string display_list(const std::vector<Person>& people);

}  // namespace pstgen

#endif  // PSTGEN_MAIL_CONTENT_H_
