#include "property_list.h"

#include <algorithm>
#include <stdexcept>

#include "bytes.h"

namespace pstgen {
namespace {

std::string le_bytes(uint64_t value, size_t width) {
  std::string out;
  for (size_t i = 0; i < width; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  return out;
}

}  // namespace

size_t fixed_value_size(uint16_t type) {
  switch (type) {
    case kPtBoolean: return 1;
    case kPtShort: return 2;
    case kPtLong:
    case kPtFloat:
    case kPtError: return 4;
    case kPtDouble:
    case kPtCurrency:
    case kPtAppTime:
    case kPtLongLong:
    case kPtSysTime: return 8;
    default: return 0;
  }
}

void PropertyList::set_unicode(uint16_t id, std::string_view utf8) {
  set_raw(make_tag(id, kPtUnicode), utf8_to_utf16le(utf8));
}
void PropertyList::set_string8(uint16_t id, std::string_view bytes) {
  set_raw(make_tag(id, kPtString8), std::string(bytes));
}
void PropertyList::set_binary(uint16_t id, std::string_view bytes) {
  set_raw(make_tag(id, kPtBinary), std::string(bytes));
}
void PropertyList::set_short(uint16_t id, uint16_t value) { set_raw(make_tag(id, kPtShort), le_bytes(value, 2)); }
void PropertyList::set_long(uint16_t id, uint32_t value) { set_raw(make_tag(id, kPtLong), le_bytes(value, 4)); }
void PropertyList::set_bool(uint16_t id, bool value) { set_raw(make_tag(id, kPtBoolean), le_bytes(value ? 1 : 0, 1)); }
void PropertyList::set_longlong(uint16_t id, uint64_t value) {
  set_raw(make_tag(id, kPtLongLong), le_bytes(value, 8));
}
void PropertyList::set_filetime(uint16_t id, uint64_t ticks) {
  set_raw(make_tag(id, kPtSysTime), le_bytes(ticks, 8));
}

void PropertyList::set_raw(uint32_t tag, std::string value) {
  const size_t fixed = fixed_value_size(tag_type(tag));
  if (fixed != 0 && value.size() != fixed) throw std::invalid_argument("fixed-size property of the wrong size");
  auto it = std::lower_bound(items_.begin(), items_.end(), tag_id(tag),
                             [](const Property& p, uint16_t id) { return tag_id(p.tag) < id; });
  if (it != items_.end() && tag_id(it->tag) == tag_id(tag)) {
    *it = Property{tag, std::move(value)};
  } else {
    items_.insert(it, Property{tag, std::move(value)});
  }
}

void PropertyList::remove(uint16_t id) {
  items_.erase(std::remove_if(items_.begin(), items_.end(), [id](const Property& p) { return tag_id(p.tag) == id; }),
               items_.end());
}

const Property* PropertyList::find(uint16_t id) const {
  auto it = std::lower_bound(items_.begin(), items_.end(), id,
                             [](const Property& p, uint16_t key) { return tag_id(p.tag) < key; });
  return it != items_.end() && tag_id(it->tag) == id ? &*it : nullptr;
}

}  // namespace pstgen
