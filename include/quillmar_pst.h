/* QuillmarPST: export of a PST/OST mail archive to a tree of plain files.
 *
 * Conventions, stated once:
 * - Paths are NUL-terminated wide-character strings. On POSIX systems, where
 *   wchar_t holds UTF-32 code points, they are converted to UTF-8 to name
 *   files; an unpaired surrogate or a value above U+10FFFF becomes U+FFFD.
 * - Calls are synchronous and run entirely in the caller's thread. The
 *   library starts no thread, takes no lock and keeps no state between calls;
 *   two calls in two threads share only the process's console streams.
 * - Progress lines go to standard output, error lines to standard error.
 * - The version text is static, owned by the library and never freed.
 */
#ifndef QUILLMAR_PST_H_
#define QUILLMAR_PST_H_

#include <stdint.h>
#include <wchar.h>

#if defined(_WIN32)
#define QUILLMAR_PST_EXPORT __declspec(dllexport)
#else
#define QUILLMAR_PST_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes of pst_export_to_txt_w; 0 or more is a message count. */
#define PST_EXPORT_ERR_ARCHIVE_NOT_FOUND (-1)  /* pst_path does not exist */
#define PST_EXPORT_ERR_LIBPFF_INIT (-2)        /* libpff could not create its file object */
#define PST_EXPORT_ERR_ARCHIVE_OPEN (-3)       /* pst_path is not a regular file, libpff could
                                                  not open it, or neither its root folder nor
                                                  its message store could be read */
#define PST_EXPORT_ERR_NULL_ARGUMENT (-10)     /* pst_path or output_dir is NULL */
#define PST_EXPORT_ERR_STD_EXCEPTION (-100)    /* a standard exception ended the run */
#define PST_EXPORT_ERR_UNKNOWN_EXCEPTION (-101) /* any other exception ended the run */

/* Exports every message of the archive at pst_path into output_dir (created
 * with its parents when missing), one numbered directory per message.
 * Returns the number of messages written (0 or more), or one of the negative
 * codes above. Messages written before a failure stay on disk. Neither string
 * is modified or kept after the call. */
QUILLMAR_PST_EXPORT int32_t pst_export_to_txt_w(const wchar_t* pst_path,
                                                const wchar_t* output_dir);

/* Returns the static text "pst_reader_dll_1.0": the same pointer on every
 * call, valid while the library is loaded. The caller never frees it. */
QUILLMAR_PST_EXPORT const char* pst_reader_version(void);

#ifdef __cplusplus
}
#endif

#endif /* QUILLMAR_PST_H_ */
