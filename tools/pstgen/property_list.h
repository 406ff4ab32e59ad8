// Typed property values as the archive stores them, and the ordered set of
// properties of one object (message, folder, recipient row, attachment...).
#ifndef PSTGEN_PROPERTY_LIST_H_
#define PSTGEN_PROPERTY_LIST_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pstgen {

// Property types (the low 16 bits of a tag).
enum PropType : uint16_t {
  kPtShort = 0x0002,
  kPtLong = 0x0003,
  kPtFloat = 0x0004,
  kPtDouble = 0x0005,
  kPtCurrency = 0x0006,
  kPtAppTime = 0x0007,
  kPtError = 0x000A,
  kPtBoolean = 0x000B,
  kPtObject = 0x000D,
  kPtLongLong = 0x0014,
  kPtString8 = 0x001E,
  kPtUnicode = 0x001F,
  kPtSysTime = 0x0040,
  kPtGuid = 0x0048,
  kPtBinary = 0x0102,
};

constexpr uint32_t make_tag(uint16_t id, uint16_t type) { return (uint32_t{id} << 16) | type; }

// The FILETIME (100-ns ticks since 1601-01-01 UTC) of a Unix time in seconds.
// REQUIRES: seconds >= -11644473600.
constexpr uint64_t filetime_from_unix(int64_t seconds) {
  return static_cast<uint64_t>(seconds + 11644473600) * 10000000;
}
constexpr uint16_t tag_id(uint32_t tag) { return static_cast<uint16_t>(tag >> 16); }
constexpr uint16_t tag_type(uint32_t tag) { return static_cast<uint16_t>(tag & 0xFFFF); }

// How a value of `type` is held: in a fixed-size cell of this many bytes
// (1, 2, 4 or 8), or 0 for variable-size values (strings, binaries, GUIDs,
// multi-valued and unknown types), which are stored by reference.
size_t fixed_value_size(uint16_t type);

// One property: its tag and its value bytes exactly as stored (little-endian
// numbers of the type's fixed size; UTF-16LE without terminator for
// kPtUnicode; raw bytes for kPtString8 and kPtBinary).
struct Property {
  uint32_t tag = 0;
  std::string value;
};

// Properties with unique ids, kept sorted by id. A set_* call replaces any
// property with the same id, whatever its type.
class PropertyList {
 public:
  void set_unicode(uint16_t id, std::string_view utf8);
  void set_string8(uint16_t id, std::string_view bytes);
  void set_binary(uint16_t id, std::string_view bytes);
  void set_short(uint16_t id, uint16_t value);
  void set_long(uint16_t id, uint32_t value);
  void set_bool(uint16_t id, bool value);
  void set_longlong(uint16_t id, uint64_t value);
  // 100-ns ticks since 1601-01-01 UTC.
  void set_filetime(uint16_t id, uint64_t ticks);
  // Any tag with value bytes as stored. REQUIRES: for a fixed-size type,
  // value.size() == fixed_value_size(tag_type(tag)).
  void set_raw(uint32_t tag, std::string value);

  void remove(uint16_t id);
  // The property with this id, or nullptr.
  const Property* find(uint16_t id) const;
  const std::vector<Property>& items() const { return items_; }
  bool empty() const { return items_.empty(); }

 private:
  std::vector<Property> items_;
};

}  // namespace pstgen

#endif  // PSTGEN_PROPERTY_LIST_H_
