// Property ids the writer itself sets or reads (the high 16 bits of a tag).
#ifndef PSTGEN_TAGS_H_
#define PSTGEN_TAGS_H_

#include <cstdint>

namespace pstgen {

// Message store.
constexpr uint16_t kPropRecordKey = 0x0FF9;            // PT_BINARY, 16-byte provider UID
constexpr uint16_t kPropValidFolderMask = 0x35DF;      // PT_LONG
constexpr uint16_t kPropIpmSubtreeEntryId = 0x35E0;    // PT_BINARY entry ID (or PT_LONG, see StoreSettings)
constexpr uint16_t kPropWastebasketEntryId = 0x35E3;   // PT_BINARY entry ID
constexpr uint16_t kPropFinderEntryId = 0x35E7;        // PT_BINARY entry ID
constexpr uint16_t kPropPstPassword = 0x67FF;          // PT_LONG, 0 = none

// Folders.
constexpr uint16_t kPropDisplayName = 0x3001;          // PT_UNICODE
constexpr uint16_t kPropContentCount = 0x3602;         // PT_LONG
constexpr uint16_t kPropContentUnreadCount = 0x3603;   // PT_LONG
constexpr uint16_t kPropSubfolders = 0x360A;           // PT_BOOLEAN
constexpr uint16_t kPropContainerClass = 0x3613;       // PT_UNICODE, "IPF.Note"

// Messages.
constexpr uint16_t kPropImportance = 0x0017;           // PT_LONG 0 low, 1 normal, 2 high
constexpr uint16_t kPropMessageClass = 0x001A;         // PT_UNICODE "IPM.Note"
constexpr uint16_t kPropSubject = 0x0037;              // PT_UNICODE
constexpr uint16_t kPropClientSubmitTime = 0x0039;     // PT_SYSTIME
constexpr uint16_t kPropSentRepresentingName = 0x0042; // PT_UNICODE
constexpr uint16_t kPropSentRepresentingEmail = 0x0065;// PT_UNICODE
constexpr uint16_t kPropTransportHeaders = 0x007D;     // PT_UNICODE
constexpr uint16_t kPropSenderName = 0x0C1A;           // PT_UNICODE
constexpr uint16_t kPropSenderAddressType = 0x0C1E;    // PT_UNICODE
constexpr uint16_t kPropSenderEmail = 0x0C1F;          // PT_UNICODE
constexpr uint16_t kPropDisplayCc = 0x0E03;            // PT_UNICODE
constexpr uint16_t kPropDisplayTo = 0x0E04;            // PT_UNICODE
constexpr uint16_t kPropDeliveryTime = 0x0E06;         // PT_SYSTIME
constexpr uint16_t kPropMessageFlags = 0x0E07;         // PT_LONG, bit 0 = read
constexpr uint16_t kPropMessageSize = 0x0E08;          // PT_LONG
constexpr uint16_t kPropHasAttachments = 0x0E1B;       // PT_BOOLEAN
constexpr uint16_t kPropBody = 0x1000;                 // PT_UNICODE
constexpr uint16_t kPropHtmlBody = 0x1013;             // PT_BINARY
constexpr uint16_t kPropCreationTime = 0x3007;         // PT_SYSTIME
constexpr uint16_t kPropLastModificationTime = 0x3008; // PT_SYSTIME
constexpr uint16_t kPropMessageCodepage = 0x3FFD;      // PT_LONG

// Recipient rows.
constexpr uint16_t kPropRecipientType = 0x0C15;        // PT_LONG 1 To, 2 Cc, 3 Bcc
constexpr uint16_t kPropAddressType = 0x3002;          // PT_UNICODE "SMTP"
constexpr uint16_t kPropEmailAddress = 0x3003;         // PT_UNICODE
constexpr uint16_t kPropSmtpAddress = 0x39FE;          // PT_UNICODE

// Attachments.
constexpr uint16_t kPropAttachSize = 0x0E20;           // PT_LONG
constexpr uint16_t kPropAttachData = 0x3701;           // PT_BINARY (by value)
constexpr uint16_t kPropAttachFilename = 0x3704;       // PT_UNICODE, 8.3 name
constexpr uint16_t kPropAttachMethod = 0x3705;         // PT_LONG, 1 = by value
constexpr uint16_t kPropAttachLongFilename = 0x3707;   // PT_UNICODE
constexpr uint16_t kPropRenderingPosition = 0x370B;    // PT_LONG, 0xFFFFFFFF = hidden

constexpr uint32_t kMessageFlagRead = 0x1;
constexpr uint32_t kAttachByValue = 1;

}  // namespace pstgen

#endif  // PSTGEN_TAGS_H_
