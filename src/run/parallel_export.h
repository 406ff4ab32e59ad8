// Export by several walkers, each with its own libpff file object on the
// archive (libpff objects are not shared between threads), with output and
// console byte-identical to a single walker's.
//
// Every walker walks the whole archive and counts the messages it meets, in
// walk order; the first walker to reach a position exports its message,
// into a temporary directory, recording its console lines. One
// committer, the calling thread, takes the positions in order: it numbers
// each message as a single walker would (an empty message's number goes to
// the next one), renames its directory to the numbered name, and prints its
// lines with the temporary path replaced, after the walk's own lines that
// precede it (those of walker 0; the others drop theirs).
#ifndef QUILLMAR_RUN_PARALLEL_EXPORT_H_
#define QUILLMAR_RUN_PARALLEL_EXPORT_H_

#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include <libpff.h>

#include "run/archive_file.h"
#include "run/mail_export_context.h"
#include "walk/folder_walk.h"

namespace quillmar {

class ExportBoard;

// One walker's part of a parallel run.
struct WalkShare {
  int walker = 0;
  int64_t position = 0;  // messages met so far
  ExportBoard* board = nullptr;
};

// Number of walkers for a run: QUILLMAR_THREADS when set to a number from 1
// to 64; else 1 for an archive under kSmallArchiveBytes, and otherwise the
// number of cores, at most 4, and no more than the walkers whose libpff
// indexes fit in 2 GiB together (about a third of the archive's size each):
// 1 for archives over 6 GiB.
int choose_walker_count(const std::filesystem::path& archive_path);
inline constexpr uint64_t kSmallArchiveBytes = 4 << 20;

// Handles for walkers 1 to walkers - 1, each opened on a thread of its own
// from this call on, so that their opens (each reads the archive's whole
// index) overlap with the caller's open of walker 0's. One that cannot be
// opened stays closed: its walker claims nothing, and the others export its
// share.
using OtherWalkerFiles = std::vector<std::future<std::unique_ptr<ArchiveFile>>>;
OtherWalkerFiles open_other_walker_files(const std::filesystem::path& archive_path,
                                        int walkers);

// For a shared walk: counts the message at index of folder and, when it is
// this walker's, exports it to the board. False once the run is stopping.
bool take_shared_message(libpff_item_t* folder, int index, MailExportContext& context);

// Walks the archive with 1 + others.size() walkers, file (open) being the
// first one's, others (from open_other_walker_files) the rest's. context as
// for walk_archive; its console must write directly. Rethrows, in walk
// order, what a walker threw.
ArchiveWalk walk_archive_in_parallel(ArchiveFile& file, OtherWalkerFiles others,
                                     MailExportContext& context);

}  // namespace quillmar

#endif  // QUILLMAR_RUN_PARALLEL_EXPORT_H_
