// Property identifiers (entry types) and MAPI value types that the library
// reads, as libpff numbers them.
#ifndef QUILLMAR_PROPERTIES_ENTRY_TYPES_H_
#define QUILLMAR_PROPERTIES_ENTRY_TYPES_H_

#include <cstdint>

namespace quillmar {

inline constexpr uint32_t kEntryImportance = 0x0017;          // 0 low, 1 normal, 2 high
inline constexpr uint32_t kEntrySubject = 0x0037;
inline constexpr uint32_t kEntryClientSubmitTime = 0x0039;
inline constexpr uint32_t kEntrySentRepresentingName = 0x0042;
inline constexpr uint32_t kEntrySentRepresentingEmail = 0x0065;
inline constexpr uint32_t kEntryTransportHeaders = 0x007D;
inline constexpr uint32_t kEntryRecipientType = 0x0C15;       // 1 To, 2 Cc, 3 Bcc
inline constexpr uint32_t kEntrySenderName = 0x0C1A;
inline constexpr uint32_t kEntrySenderEmail = 0x0C1F;
inline constexpr uint32_t kEntryDisplayCc = 0x0E03;
inline constexpr uint32_t kEntryDisplayTo = 0x0E04;
inline constexpr uint32_t kEntryDeliveryTime = 0x0E06;
inline constexpr uint32_t kEntryBody = 0x1000;
inline constexpr uint32_t kEntryHtmlBody = 0x1013;
inline constexpr uint32_t kEntryDisplayName = 0x3001;
inline constexpr uint32_t kEntryEmailAddress = 0x3003;
inline constexpr uint32_t kEntryCreationTime = 0x3007;
inline constexpr uint32_t kEntryFolderIdentifier = 0x35E0;  // held by the message store
inline constexpr uint32_t kEntryAttachShortName = 0x3704;
inline constexpr uint32_t kEntryAttachLongName = 0x3707;
inline constexpr uint32_t kEntrySmtpAddress = 0x39FE;

inline constexpr uint32_t kValueInt16 = 0x0002;
inline constexpr uint32_t kValueInt32 = 0x0003;
inline constexpr uint32_t kValueBoolean = 0x000B;
inline constexpr uint32_t kValueString8 = 0x001E;
inline constexpr uint32_t kValueUnicode = 0x001F;
inline constexpr uint32_t kValueFiletime = 0x0040;
inline constexpr uint32_t kValueBinary = 0x0102;

inline constexpr uint32_t kRecipientTypeCc = 2;

}  // namespace quillmar

#endif  // QUILLMAR_PROPERTIES_ENTRY_TYPES_H_
