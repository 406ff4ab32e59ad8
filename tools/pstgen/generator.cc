#include "generator.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <vector>

#include "archive.h"
#include "archive_writer.h"
#include "mail_content.h"
#include "nid.h"
#include "random.h"
#include "tags.h"

namespace pstgen {
namespace {

constexpr const char* kTopFolders[] = {"Inbox", "Sent Items", "Drafts", "Archive", "Projects"};
constexpr const char* kSubFolderTopics[] = {"Clients", "Finance", "Travel", "Team",  "Reports",
                                            "Vendors", "Legal",   "Support", "Ideas", "Événements"};
constexpr const char* kAttachmentStems[] = {"report", "invoice", "slides", "minutes", "budget", "photo", "contract"};
constexpr const char* kAttachmentExtensions[] = {"pdf", "docx", "xlsx", "pptx", "png", "zip", "txt"};
constexpr uint64_t kFirstDate = filetime_from_unix(1546300800);  // 2019-01-01 00:00:00 UTC
constexpr uint64_t kTicksPerSecond = 10000000;
constexpr uint32_t kImportanceLow = 0, kImportanceNormal = 1, kImportanceHigh = 2;
constexpr uint32_t kCodepageUtf8 = 65001;
constexpr uint64_t kFolderStreamSalt = 0x5DEECE66Dull;  // separates the folder choices from the content

// Mail folders: the first five directly below the IPM subtree, the others
// below a randomly chosen earlier one, so that the tree nests.
std::vector<Folder*> make_folders(Archive& archive, uint32_t count, Random& rng) {
  std::vector<Folder*> folders;
  for (uint32_t i = 0; i < count; ++i) {
    if (i < std::size(kTopFolders)) {
      folders.push_back(&archive.add_folder(archive.ipm_subtree(), kTopFolders[i]));
    } else {
      Folder& parent = *folders[rng.below(folders.size())];
      const std::string name = std::string(kSubFolderTopics[rng.below(std::size(kSubFolderTopics))]) + " " +
                               std::to_string(i);
      folders.push_back(&archive.add_folder(parent, name));
    }
  }
  return folders;
}

AttachmentFile make_attachment(Random& rng, const GeneratorOptions& o, uint64_t message, uint32_t index) {
  const std::string stem = kAttachmentStems[rng.below(std::size(kAttachmentStems))];
  std::string ext = kAttachmentExtensions[rng.below(std::size(kAttachmentExtensions))];
  const uint64_t size = o.attachment_size_max > 0 ? rng.between(o.attachment_size_min, o.attachment_size_max)
                                                  : o.attachment_size;
  AttachmentFile file;
  file.long_name = stem + "_" + std::to_string(message) + "_" + std::to_string(index + 1) + "." + ext;
  for (char& c : ext) c = static_cast<char>(c - 'a' + 'A');
  std::string short_stem = stem.substr(0, 6);
  for (char& c : short_stem) c = static_cast<char>(c - 'a' + 'A');
  file.short_name = short_stem + "~" + std::to_string(index % 9 + 1) + "." + ext.substr(0, 3);
  file.data = rng.bytes(size);
  return file;
}

void add_people(Message& m, const MailHeaders& h) {
  m.set_unicode(kPropSentRepresentingName, h.from.name).set_unicode(kPropSentRepresentingEmail, h.from.email);
  m.set_unicode(kPropSenderName, h.from.name).set_unicode(kPropSenderEmail, h.from.email);
  m.set_unicode(kPropSenderAddressType, "SMTP");
  m.set_unicode(kPropDisplayTo, display_list(h.to));
  if (!h.cc.empty()) m.set_unicode(kPropDisplayCc, display_list(h.cc));
  for (const Person& p : h.to) m.add_recipient({RecipientType::kTo, p.name, p.email, p.email});
  for (const Person& p : h.cc) m.add_recipient({RecipientType::kCc, p.name, p.email, p.email});
}

MailHeaders random_headers(Random& rng, const GeneratorOptions& o, uint64_t date) {
  MailHeaders h;
  h.from = random_person(rng);
  const uint64_t count = rng.between(1, std::max<uint32_t>(o.max_recipients, 1));
  const uint64_t to_count = rng.between(1, count);
  for (uint64_t i = 0; i < count; ++i) (i < to_count ? h.to : h.cc).push_back(random_person(rng));
  h.subject = random_subject(rng);
  h.date = date;
  return h;
}

uint32_t random_importance(Random& rng) {
  if (rng.one_in(10)) return kImportanceHigh;
  return rng.one_in(20) ? kImportanceLow : kImportanceNormal;
}

Message make_message(Random& rng, const GeneratorOptions& o, uint64_t index, uint64_t date, uint32_t nid) {
  const MailHeaders h = random_headers(rng, o, date);
  const std::string headers = random_transport_headers(rng, h, rng.between(o.header_size_min, o.header_size_max));
  Message m(nid);
  m.set_unicode(kPropMessageClass, "IPM.Note").set_unicode(kPropSubject, h.subject);
  m.set_long(kPropImportance, random_importance(rng));
  m.set_filetime(kPropClientSubmitTime, date - rng.between(1, 120) * kTicksPerSecond);
  m.set_filetime(kPropDeliveryTime, date).set_filetime(kPropCreationTime, date);
  m.set_filetime(kPropLastModificationTime, date);
  m.set_unicode(kPropTransportHeaders, headers);
  m.set_unicode(kPropBody, random_body(rng, o.body_size));
  m.set_long(kPropMessageFlags, rng.one_in(5) ? 0 : kMessageFlagRead);
  m.set_long(kPropMessageCodepage, kCodepageUtf8);
  add_people(m, h);
  const bool with_attachments =
      o.attachments_per_message > 0 && (index - 1) % std::max<uint32_t>(o.attachment_every, 1) == 0;
  uint64_t size = 2 * (headers.size() + o.body_size) + 1024;
  for (uint32_t i = 0; with_attachments && i < o.attachments_per_message; ++i) {
    const PropertyList& a = m.add_attachment(make_attachment(rng, o, index, i));
    size += a.find(kPropAttachData)->value.size();
  }
  m.set_bool(kPropHasAttachments, with_attachments);
  m.set_long(kPropMessageSize, static_cast<uint32_t>(std::min<uint64_t>(size, UINT32_MAX)));
  return m;
}

// Depth-first pre-order of `folders` (children in creation order), as
// positions into `folders`.
std::vector<size_t> tree_order(const std::vector<Folder*>& folders) {
  std::vector<size_t> order;
  std::vector<size_t> stack;
  for (size_t i = folders.size(); i-- > 0;) {
    if (folders[i]->parent() == folders.front()->parent()) stack.push_back(i);
  }
  while (!stack.empty()) {
    const size_t current = stack.back();
    stack.pop_back();
    order.push_back(current);
    for (size_t i = folders.size(); i-- > 0;) {
      if (folders[i]->parent() == folders[current]) stack.push_back(i);
    }
  }
  return order;
}

// Message NIDs: in arrival order, or (group_by_folder) from one range per
// folder, ranges laid out in reverse tree order. The folder of message i is
// the i-th draw of `chooser_seed`'s stream, replayed here to size the ranges.
class MessageNids {
 public:
  MessageNids(const GeneratorOptions& o, const std::vector<Folder*>& folders, uint64_t chooser_seed)
      : grouped_(o.group_by_folder && !folders.empty()), next_index_(folders.size(), 0) {
    if (!grouped_) return;
    std::vector<uint64_t> counts(folders.size(), 0);
    Random chooser(chooser_seed);
    for (uint64_t i = 0; i < o.messages; ++i) ++counts[chooser.below(folders.size())];
    const std::vector<size_t> order = tree_order(folders);
    uint64_t index = kFirstMessageIndex;
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
      next_index_[*it] = index;
      index += counts[*it];
    }
  }

  uint32_t next(Archive& archive, size_t folder) {
    if (!grouped_) return archive.allocate_message_nid();
    return make_nid(NidType::kNormalMessage, static_cast<uint32_t>(next_index_[folder]++));
  }

 private:
  bool grouped_;
  std::vector<uint64_t> next_index_;
};

uint64_t file_size(const std::string& path) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(std::filesystem::u8path(path), error);
  return error ? 0 : static_cast<uint64_t>(size);
}

}  // namespace

GeneratorReport generate_archive(const GeneratorOptions& o, const std::string& path) {
  Random rng(o.seed);
  Archive archive;
  archive.store().display_name = "Generated archive " + std::to_string(o.seed);
  const std::vector<Folder*> folders = make_folders(archive, o.folders, rng);
  if (o.store_folder_identifier && !folders.empty()) archive.set_store_folder_identifier(folders.front());
  ArchiveWriter writer(path, archive.store_settings());
  writer.add_folders(archive);
  GeneratorReport report;
  report.folders = static_cast<uint32_t>(folders.size());
  const uint64_t chooser_seed = o.seed ^ kFolderStreamSalt;
  Random chooser(chooser_seed);
  MessageNids nids(o, folders, chooser_seed);
  uint64_t date = kFirstDate;
  for (uint64_t i = 0; i < o.messages; ++i) {
    date += rng.between(60, 4 * 3600) * kTicksPerSecond;
    const size_t f = folders.empty() ? 0 : chooser.below(folders.size());
    const Folder& folder = folders.empty() ? archive.ipm_subtree() : *folders[f];
    const Message m = make_message(rng, o, i + 1, date, nids.next(archive, f));
    writer.add_message(folder.nid(), m.nid(), m);
    report.attachments += m.attachments().size();
  }
  writer.finish();
  report.messages = o.messages;
  report.file_size = file_size(path);
  return report;
}

}  // namespace pstgen
