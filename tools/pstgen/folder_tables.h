// What a folder contributes beyond its declared properties: its counts and
// its three tables (hierarchy: sub-folders; contents: messages; FAI
// contents: associated messages, always empty here).
//
// libpff lists sub-folders from hierarchy-table rows and messages from
// contents-table rows (row id = NID); readpst ignores both tables and
// follows the node tree's parent links instead.
#ifndef PSTGEN_FOLDER_TABLES_H_
#define PSTGEN_FOLDER_TABLES_H_

#include <cstdint>
#include <vector>

#include "node_data.h"
#include "property_list.h"

namespace pstgen {

// Columns of the hierarchy table: display name, counts, has-subfolders,
// container class.
std::vector<uint32_t> hierarchy_columns();
// Columns of the contents and FAI contents tables: the message summary that
// a mail client shows in a folder view.
std::vector<uint32_t> contents_columns();

// The contents-table cells of a message: those of its properties whose tag
// is one of contents_columns().
PropertyList contents_cells(const PropertyList& message);

// True unless the message has PidTagMessageFlags with the read bit.
bool is_unread(const PropertyList& message);

// `declared` plus content count, unread count and has-subfolders flag, each
// only where `declared` lacks it.
PropertyList folder_properties(const PropertyList& declared, uint32_t content_count, uint32_t unread_count,
                               bool has_subfolders);

// A table node with `columns`; row i has id row_ids[i] and cells rows[i].
// REQUIRES: row_ids.size() == rows.size().
NodeData make_table_node(const std::vector<uint32_t>& columns, const std::vector<uint32_t>& row_ids,
                         const std::vector<PropertyList>& rows);

// A property-context node holding `props`.
NodeData make_property_node(const PropertyList& props);

}  // namespace pstgen

#endif  // PSTGEN_FOLDER_TABLES_H_
