// Table context: rows of fixed-layout cells in a row matrix, a BTH row index
// keyed by row id, and the column descriptions (bClientSig 0x7C).
#ifndef PSTGEN_TABLE_CONTEXT_H_
#define PSTGEN_TABLE_CONTEXT_H_

#include <cstdint>
#include <vector>

#include "node_builder.h"
#include "property_list.h"

namespace pstgen {

constexpr uint32_t kTagLtpRowId = 0x67F20003;
constexpr uint32_t kTagLtpRowVer = 0x67F30003;

struct TableRow {
  uint32_t row_id = 0;       // the row's key (for most tables an object's NID)
  const PropertyList* cells = nullptr;  // values by property id; not owned
};

// Writes a table with `columns` (tags; RowId and RowVer come first in every
// row and need not be listed) and `rows`, in row order, into `node`. A row
// without a property of the column's id and type leaves that cell absent
// (zero, with its existence bit clear). Variable-size cells hold HNIDs into
// this node; 8-byte values are held in the row itself. A row matrix larger
// than one heap allocation goes to a subnode, each block holding whole rows.
// REQUIRES: `node` was made for HeapClient::kTableContext and is empty; row
// ids unique; at most 253 other columns.
void build_table_context(const std::vector<uint32_t>& columns, const std::vector<TableRow>& rows,
                         NodeBuilder& node);

}  // namespace pstgen

#endif  // PSTGEN_TABLE_CONTEXT_H_
