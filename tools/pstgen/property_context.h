// Property context: an object's properties as a BTH keyed by property id in
// the node's heap (bClientSig 0xBC).
#ifndef PSTGEN_PROPERTY_CONTEXT_H_
#define PSTGEN_PROPERTY_CONTEXT_H_

#include "node_builder.h"
#include "property_list.h"

namespace pstgen {

// Writes `props` into `node` as its property context. Values of up to four
// bytes are held in the record itself; 8-byte values in a heap allocation;
// variable-size values by HNID (heap or subnode, see NodeBuilder).
// REQUIRES: `node` was made for HeapClient::kPropertyContext and is empty.
void build_property_context(const PropertyList& props, NodeBuilder& node);

}  // namespace pstgen

#endif  // PSTGEN_PROPERTY_CONTEXT_H_
