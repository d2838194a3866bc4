#include "preview/read_ahead.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/worker_thread.h"

namespace tovrin::preview {
namespace {

// Pieces read but not yet drawn, at most kDepth of them; their lists are
// used again for later pieces rather than allocated anew.
class PieceQueue {
 public:
  static constexpr size_t kDepth = 2;

  // The reading side: waits for room, then copies the piece in. False once
  // the drawing side has stopped.
  bool Put(const PlotPicture& piece, size_t read) {
    PlotPicture slot;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stopped_ || waiting_.size() < kDepth; });
      if (stopped_) return false;
      if (!spare_.empty()) {
        slot = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    slot = piece;  // keeps the slot's capacity
    std::lock_guard lock(mutex_);
    waiting_.emplace_back(std::move(slot), read);
    changed_.notify_all();
    return true;
  }

  // The reading side is done: at the end, or with `error`.
  void Close(std::exception_ptr error) {
    std::lock_guard lock(mutex_);
    closed_ = true;
    error_ = error;
    changed_.notify_all();
  }

  // The drawing side: the next piece into `piece` (its old lists go back
  // for reuse); false after the last one.
  bool Take(PlotPicture& piece, size_t& read) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return closed_ || !waiting_.empty(); });
    if (waiting_.empty()) {
      if (error_) std::rethrow_exception(error_);
      return false;
    }
    std::swap(piece, waiting_.front().first);
    read = waiting_.front().second;
    spare_.push_back(std::move(waiting_.front().first));
    waiting_.pop_front();
    changed_.notify_all();
    return true;
  }

  // The drawing side gives up: the reading side stops at its next piece.
  void Stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::pair<PlotPicture, size_t>> waiting_;
  std::vector<PlotPicture> spare_;
  bool closed_ = false, stopped_ = false;
  std::exception_ptr error_;
};

// Thrown through StreamGlf to end the reading early.
struct Stopped {};

}  // namespace

void StreamGlfAhead(std::string_view glf, const PictureSink& sink) {
  PieceQueue queue;
  const auto read_ahead = [&] {
    try {
      StreamGlf(glf, [&](const PlotPicture& piece, size_t read) {
        if (!queue.Put(piece, read)) throw Stopped{};
      });
      queue.Close(nullptr);
    } catch (const Stopped&) {
      queue.Close(nullptr);
    } catch (...) {
      queue.Close(std::current_exception());
    }
  };
  std::thread reader;
  std::string refused;
  if (!StartWorkerThread(reader, read_ahead, refused)) {
    StreamGlf(glf, sink);  // no thread to spare: the same pieces, read and drawn in turn
    return;
  }
  struct Join {
    PieceQueue& queue;
    std::thread& reader;
    ~Join() {
      queue.Stop();
      reader.join();
    }
  } join{queue, reader};
  PlotPicture piece;
  size_t read = 0;
  while (queue.Take(piece, read)) sink(piece, read);
}

}  // namespace tovrin::preview
