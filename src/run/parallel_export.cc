#include "run/parallel_export.h"


#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <unordered_map>
#include <vector>

#include "message/message_export.h"
#include "message/output_files.h"
#include "message/text_cleanup.h"
#include "properties/libpff_handles.h"
#include "run/block_damage.h"
#include "run/libpff_report.h"
#include "walk/folder_walk.h"

namespace quillmar {
namespace {

constexpr int kMaxWalkers = 64;
constexpr int kDefaultMaxWalkers = 4;
// Each walker's libpff handle keeps about 1 KiB per message for the whole
// run (measured on 100,000 small messages), and an archive of the smallest
// messages takes about 3.5 KB per message: a walker's share is at most
// about a third of the archive's size.
constexpr uint64_t kArchiveBytesPerIndexByte = 3;
// What the walkers' indexes may take together by default.
constexpr uint64_t kWalkerIndexBudget = uint64_t{2} << 30;
// Positions a walker passes between two hand-overs to the committer.
constexpr int64_t kHandOverBatch = 16;
// Bytes of the archive name kept in temporary directory names, which must
// stay within one file-name component with their position.
constexpr size_t kTemporaryNameStemBytes = 200;

// What a walker hands over for one message position.
struct MessageSlot {
  bool read = false;  // libpff gave the message
  MessageOutcome outcome = MessageOutcome::kEmpty;
  std::filesystem::path directory;  // the temporary directory written
  Console console{Console::Mode::kRecord};
  std::exception_ptr failure;  // what the export threw, if anything
};

std::string temporary_directory_name(const std::string& archive_name, int64_t position) {
  return "." + archive_name.substr(0, utf8_prefix_length(archive_name, kTemporaryNameStemBytes)) +
         "." + std::to_string(position) + ".part";
}

// Rethrows failure; a standard exception as one whose text names directory
// where it named temporary, as a single walker's would.
[[noreturn]] void rethrow_with_directory(std::exception_ptr failure,
                                         const std::filesystem::path& temporary,
                                         const std::filesystem::path& directory) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& error) {
    throw std::runtime_error(replace_all(error.what(), temporary.u8string(), directory.u8string()));
  }
}

}  // namespace

// Where walkers hand over their messages and walker 0 its walk lines, and
// where the committer takes them in order.
class ExportBoard {
 public:
  explicit ExportBoard(int walkers)
      : outboxes_(walkers),
        positions_(walkers, 0),
        done_(walkers, false),
        failures_(walkers) {}

  bool stopping() const { return stopping_.load(std::memory_order_relaxed); }

  // True for the walker that reaches position first: each walker meets the
  // positions in order, so every position before the one being claimed is
  // claimed already, and the walkers share the messages as they go, however
  // late one starts or slow it runs.
  bool claim(int64_t position) {
    int64_t expected = position;
    return next_unclaimed_.compare_exchange_strong(expected, position + 1);
  }
  void stop() {
    stopping_ = true;
    changed_.notify_all();
  }

  // Keeps the walker's slot for position until its next hand-over. Only
  // the walker itself touches its outbox outside a hand-over.
  void keep(int walker, int64_t position, MessageSlot slot) {
    outboxes_[static_cast<size_t>(walker)].emplace_back(position, std::move(slot));
  }

  // The walker has passed `position` messages: its kept slots and recorded
  // walk lines move to the board. Walkers hand over every kHandOverBatch
  // positions, not at each: the lock is shared with the other walkers.
  void hand_over(int walker, int64_t position, Console& walk_lines) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [kept_position, slot] : outboxes_[static_cast<size_t>(walker)]) {
      slots_.emplace(kept_position, std::move(slot));
    }
    outboxes_[static_cast<size_t>(walker)].clear();
    positions_[static_cast<size_t>(walker)] = position;
    walk_lines.transfer_to(walk_lines_);
    wake_if_ready();
  }

  void finish(int walker, int64_t position, std::exception_ptr failure, Console& walk_lines) {
    hand_over(walker, position, walk_lines);
    std::lock_guard<std::mutex> lock(mutex_);
    done_[static_cast<size_t>(walker)] = true;
    failures_[static_cast<size_t>(walker)] = failure;
    wake_if_ready();
  }

  // Commits every position in order until walker 0's walk ends.
  void commit_all(MailExportContext& context) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (int64_t position = 0;; ++position) {
      if (!ready(position)) {
        // Sleeps until a batch is ready: waking per message would cost more
        // than committing it.
        awaited_first_ = position;
        awaited_ = position + kCommitBatch - 1;
        changed_.wait(lock, [&] { return batch_ready(); });
        awaited_ = kNothingAwaited;
      }
      walk_lines_.replay(position);
      if (positions_[0] <= position) {
        walk_lines_.replay(std::numeric_limits<int64_t>::max());
        if (failures_[0]) std::rethrow_exception(failures_[0]);
        return;
      }
      const auto found = slots_.find(position);
      if (found == slots_.end()) {
        for (const std::exception_ptr& failure : failures_) {
          if (failure) std::rethrow_exception(failure);
        }
        throw std::runtime_error("parallel walkers met different messages");
      }
      MessageSlot slot = std::move(found->second);
      slots_.erase(found);
      lock.unlock();
      commit(slot, context);
      lock.lock();
    }
  }

 private:
  static constexpr int64_t kCommitBatch = 64;
  static constexpr int64_t kNothingAwaited = -1;

  // Whether position can be committed: walker 0 has passed it (so every walk
  // line before it is here, and some walker has claimed it) and its slot is
  // posted, or every walker is done.
  bool ready(int64_t position) const {
    if (!(positions_[0] > position || done_[0])) return false;
    if (positions_[0] <= position) return true;
    return slots_.count(position) != 0 ||
           std::all_of(done_.begin(), done_.end(), [](bool done) { return done; });
  }

  bool batch_ready() const { return ready(awaited_first_) && ready(awaited_); }

  // Called with the mutex held after any change.
  void wake_if_ready() {
    if (awaited_ != kNothingAwaited && batch_ready()) changed_.notify_one();
  }

  // Gives the message the directory and number a single walker would have.
  static void commit(MessageSlot& slot, MailExportContext& context) {
    const std::filesystem::path directory =
        context.output_root /
        std::filesystem::u8path(message_directory_name(context.archive_name, context.mail_number));
    if (slot.read) {
      const bool written = slot.failure ? entry_exists(slot.directory)
                                        : slot.outcome != MessageOutcome::kEmpty;
      if (written) {
        move_directory(slot.directory, directory);
      } else {
        remove_directory_tree(directory);
      }
    }
    slot.console.replay(std::numeric_limits<int64_t>::max(), slot.directory.u8string(),
                        directory.u8string());
    if (slot.failure) rethrow_with_directory(slot.failure, slot.directory, directory);
    if (slot.read) count_message(slot.outcome, directory, context);
  }

  std::vector<std::vector<std::pair<int64_t, MessageSlot>>> outboxes_;  // per walker
  std::mutex mutex_;
  std::condition_variable changed_;
  std::atomic<bool> stopping_{false};
  std::atomic<int64_t> next_unclaimed_{0};
  std::vector<int64_t> positions_;  // messages each walker has passed
  std::vector<bool> done_;          // walkers whose walk has ended
  std::vector<std::exception_ptr> failures_;  // what ended a walk early
  std::unordered_map<int64_t, MessageSlot> slots_;  // posted, not yet committed
  Console walk_lines_{Console::Mode::kRecord};      // walker 0's, marked by position
  // The sleeping committer waits for positions awaited_first_ to awaited_.
  int64_t awaited_first_ = 0;
  int64_t awaited_ = kNothingAwaited;
};

int choose_walker_count(const std::filesystem::path& archive_path) {
  if (const char* text = std::getenv("QUILLMAR_THREADS")) {
    char* end = nullptr;
    const long count = std::strtol(text, &end, 10);
    if (end != text && *end == '\0' && count >= 1 && count <= kMaxWalkers) {
      return static_cast<int>(count);
    }
  }
  const int64_t archive_bytes = size_of_file(archive_path);
  if (archive_bytes < 0 || static_cast<uint64_t>(archive_bytes) < kSmallArchiveBytes) return 1;
  const uint64_t index_bytes = static_cast<uint64_t>(archive_bytes) / kArchiveBytesPerIndexByte;
  const uint64_t affordable = std::max<uint64_t>(1, kWalkerIndexBudget / std::max<uint64_t>(index_bytes, 1));
  const uint64_t cores = std::max(1u, std::thread::hardware_concurrency());
  return static_cast<int>(
      std::min(std::min(cores, static_cast<uint64_t>(kDefaultMaxWalkers)), affordable));
}

bool take_shared_message(libpff_item_t* folder, int index, MailExportContext& context) {
  WalkShare& share = *context.share;
  if (share.board->stopping()) return false;
  const int64_t position = share.position++;
  if (share.board->claim(position)) {
    MessageSlot slot;
    try {
      libpff_error_t* error = nullptr;
      ItemHandle message;
      if (obtained(libpff_folder_get_sub_message(folder, index, message.out(), &error), message)) {
        slot.read = true;
        slot.directory =
            context.output_root /
            std::filesystem::u8path(temporary_directory_name(context.archive_name, position));
        slot.outcome = write_message_directory(message.get(), context.archive_name,
                                               slot.directory, slot.console, context.buffers,
                                               context.damage_told);
      } else {
        report_libpff_error(slot.console, "Erreur lecture message", &error);
        tell_folder_damage(folder, context, slot.console);
      }
    } catch (...) {
      slot.failure = std::current_exception();
    }
    share.board->keep(share.walker, position, std::move(slot));
  }
  context.console->set_mark(share.position);
  if (share.position % kHandOverBatch == 0) {
    share.board->hand_over(share.walker, share.position, *context.console);
  }
  return true;
}

OtherWalkerFiles open_other_walker_files(const std::filesystem::path& archive_path,
                                        int walkers) {
  OtherWalkerFiles files;
  for (int walker = 1; walker < walkers; ++walker) {
    files.push_back(std::async(std::launch::async, [archive_path] {
      auto file = std::make_unique<ArchiveFile>();
      libpff_error_t* error = nullptr;
      open_archive(*file, archive_path, &error);
      discard_error(&error);
      return file;
    }));
  }
  return files;
}

ArchiveWalk walk_archive_in_parallel(ArchiveFile& file, OtherWalkerFiles others,
                                     MailExportContext& context) {
  const int walkers = static_cast<int>(others.size()) + 1;
  ExportBoard board(walkers);
  std::vector<ArchiveWalk> walked(static_cast<size_t>(walkers));
  auto walk = [&](int walker) {
    Console console(walker == 0 ? Console::Mode::kRecord : Console::Mode::kDrop);
    WalkShare share{walker, 0, &board};
    MailExportContext own = context;
    own.console = &console;
    own.share = &share;
    std::exception_ptr failure;
    // Carried to the committer, which rethrows it where the walk stopped.
    std::unique_ptr<ArchiveFile> own_file;
    try {
      if (walker == 0) {
        walked[0] = walk_archive(file.get(), own);
      } else {
        own_file = others[static_cast<size_t>(walker - 1)].get();
        // What its open met is named once, by the caller's handle.
        own.damage_told = damage_met_by_file(own_file->get());
        if (own_file->is_open()) walk_archive(own_file->get(), own);
      }
    } catch (...) {
      failure = std::current_exception();
    }
    // Freeing a handle's index and item tree takes a while on a large
    // archive; each walker frees its own while the others still work.
    if (walker == 0) file.release();
    own_file.reset();
    board.finish(walker, share.position, failure, console);
  };
  std::vector<std::thread> threads;
  // Stops and joins the walkers however the commit ends.
  struct Joiner {
    ExportBoard& board;
    std::vector<std::thread>& threads;
    ~Joiner() {
      board.stop();
      for (std::thread& thread : threads) thread.join();
    }
  } joiner{board, threads};
  for (int walker = 0; walker < walkers; ++walker) threads.emplace_back(walk, walker);
  board.commit_all(context);
  return walked[0];
}

}  // namespace quillmar
