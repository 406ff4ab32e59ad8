// One export run: from an archive path to the output tree and a result code.
#ifndef QUILLMAR_RUN_EXPORT_RUN_H_
#define QUILLMAR_RUN_EXPORT_RUN_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillmar {

// Longest archive name: with "_" and the widest message number (10 digits),
// a message directory name still fits 255 bytes.
inline constexpr size_t kMaxArchiveNameBytes = 244;

// The archive's file stem (text after the last '/' or '\\', without its
// extension; a leading '.' does not start one) converted to UTF-8, sanitized
// as a file name, and cut at a UTF-8 boundary to kMaxArchiveNameBytes.
std::string derive_archive_name(std::wstring_view pst_path);

// Runs the export of pst_path into output_dir and returns the number of
// messages written or a negative result code (see quillmar_pst.h). Checks
// for null arguments itself. Exceptions are not caught here.
// REQUIRES: called through the exported function, which maps exceptions.
int32_t run_export(const wchar_t* pst_path, const wchar_t* output_dir);

}  // namespace quillmar

#endif  // QUILLMAR_RUN_EXPORT_RUN_H_
