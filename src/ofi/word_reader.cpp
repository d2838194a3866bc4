#include "ofi/word_reader.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "platform/worker_thread.h"

namespace tovrin {

// Reads the window after the reader's on a thread of its own. Its buffer
// has a carry area in front, where the end of the reader's window goes when
// a record runs on into the next one, so the reader can take the buffer as
// its window without copying the window itself.
class NextWindow {
 public:
  static constexpr size_t kCarryWords = 4096;

  // Null, with `reason` set, when no thread can be started.
  static std::unique_ptr<NextWindow> Start(WordSource& source, size_t buffer_bytes,
                                           std::string& reason) {
    std::unique_ptr<NextWindow> next(new NextWindow(source, buffer_bytes));
    NextWindow* const self = next.get();
    const auto run = [self] { self->Run(); };
    if (!StartWorkerThread(next->thread_, run, reason)) return nullptr;
    return next;
  }
  ~NextWindow() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      changed_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
  }
  NextWindow(const NextWindow&) = delete;
  NextWindow& operator=(const NextWindow&) = delete;

  // Starts reading `words` words from the 1-based `first`; none may be in
  // flight.
  void Start(size_t first, size_t words) {
    std::lock_guard lock(mutex_);
    first_ = first;
    words_ = words;
    state_ = State::Reading;
    started_ = true;
    changed_.notify_all();
  }
  bool Started() const { return started_; }
  size_t First() const { return first_; }
  size_t Words() const { return words_; }
  // Waits for the read; returns where its words are, `got` the bytes read.
  uint8_t* Take(size_t& got) {
    WaitDone();
    got = got_;
    return buffer_.get() + 2 * kCarryWords;
  }
  // Waits for a read in flight, which is then dropped.
  void WaitDone() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return state_ != State::Reading; });
    state_ = State::Idle;
    started_ = false;
  }
  // The buffer, to trade with the reader's while no read is in flight.
  std::unique_ptr<uint8_t[]>& Buffer() { return buffer_; }

 private:
  enum class State { Idle, Reading, Done };
  NextWindow(WordSource& source, size_t buffer_bytes)
      : source_(source), buffer_(new uint8_t[buffer_bytes]) {}
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return stopping_ || state_ == State::Reading; });
      if (state_ != State::Reading) return;  // stopping
      const uint64_t offset = 2 * static_cast<uint64_t>(first_ - 1);
      const size_t bytes = 2 * words_;
      uint8_t* into = buffer_.get() + 2 * kCarryWords;
      lock.unlock();
      const size_t got = source_.ReadAt(offset, into, bytes);
      lock.lock();
      got_ = got;
      state_ = State::Done;
      changed_.notify_all();
    }
  }

  WordSource& source_;
  std::unique_ptr<uint8_t[]> buffer_;
  // Set by the reader's thread only, between reads.
  size_t first_ = 0, words_ = 0;
  bool started_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  State state_ = State::Idle;
  size_t got_ = 0;
  bool stopping_ = false;
  std::thread thread_;
};

namespace {
// Reading ahead pays for its thread from this many windows on.
constexpr size_t kReadAheadWindows = 4;
}  // namespace

WordReader::WordReader() = default;

WordReader::WordReader(std::span<const uint8_t> bytes)
    : word_count_(bytes.size() / 2), window_(bytes.data()), window_words_(bytes.size() / 2) {}

WordReader::WordReader(WordSource& source, uint64_t size_bytes, size_t window_words,
                       ReadAhead read_ahead)
    : word_count_(static_cast<size_t>(size_bytes / 2)),
      source_(&source),
      buffer_words_(
          std::max<size_t>(1, std::min(std::max(window_words, kMaxRunWords), word_count_))),
      window_first_(1) {
  size_t buffer_bytes = 2 * buffer_words_;
  if (read_ahead == ReadAhead::On && word_count_ > kReadAheadWindows * buffer_words_) {
    // The reader's and the read-ahead buffers are traded, so both have the
    // carry area.
    buffer_bytes = 2 * (NextWindow::kCarryWords + buffer_words_);
    std::string reason;
    next_ = NextWindow::Start(source, buffer_bytes, reason);
    // Without a thread the windows are read here, one after another.
    if (!next_) read_ahead_note_ = "drawing read without reading ahead (" + reason + ")";
  }
  buffer_ = std::make_unique<uint8_t[]>(buffer_bytes);
  window_ = buffer_.get();
}

WordReader::~WordReader() = default;
WordReader::WordReader(WordReader&&) noexcept = default;
WordReader& WordReader::operator=(WordReader&&) noexcept = default;

uint16_t WordReader::WordOutsideWindow(size_t position) const {
  if (position < 1 || position > word_count_) return 0;
  MoveWindow(position, 1);
  const size_t i = position - window_first_;
  return i < window_words_ ? Load(window_ + 2 * i) : 0;
}

// Reads a window holding `count` words from `position`. It starts at the
// cursor when that keeps the cursor's record in it too, as a command looks
// ahead from its command word and then reads on from there.
void WordReader::MoveWindow(size_t position, size_t count) const {
  if (!source_ || position < 1 || position > word_count_) return;
  size_t first = position;
  if (position_ >= 1 && position_ < position && position - position_ + count <= buffer_words_)
    first = position_;
  if (next_ && TakeWindowReadAhead(first, position + count)) return;
  ReadWindow(first);
}

// The window read ahead, when the new window starts in the current one, no
// further back from its end than the carry area holds, and the words asked
// for (up to `end`) are all in it.
bool WordReader::TakeWindowReadAhead(size_t first, size_t end) const {
  NextWindow& next = *next_;
  const size_t ahead = next.First();
  if (end > ahead + next.Words()) return false;
  if (!next.Started() || first < window_first_ || first > ahead ||
      ahead - first > NextWindow::kCarryWords)
    return false;
  size_t got = 0;
  uint8_t* words = next.Take(got);
  FillWindow(words, next.Words(), got);
  const size_t carry = ahead - first;
  uint8_t* start = words - 2 * carry;
  std::memcpy(start, window_ + 2 * (first - window_first_), 2 * carry);
  window_ = start;
  window_first_ = first;
  window_words_ = carry + next.Words();
  std::swap(buffer_, next.Buffer());
  const size_t after = window_first_ + window_words_;
  if (after <= word_count_) next.Start(after, std::min(buffer_words_, word_count_ - after + 1));
  return true;
}

void WordReader::ReadWindow(size_t first) const {
  if (next_) next_->WaitDone();  // the source is read by one thread at a time
  const size_t words = std::min(buffer_words_, word_count_ - first + 1);
  uint8_t* into = buffer_.get();
  FillWindow(into, words, source_->ReadAt(2 * static_cast<uint64_t>(first - 1), into, 2 * words));
  window_ = into;
  window_first_ = first;
  window_words_ = words;
  const size_t after = first + words;
  if (next_ && after <= word_count_)
    next_->Start(after, std::min(buffer_words_, word_count_ - after + 1));
}

// Words the source did not give (it shrank) read as 0.
void WordReader::FillWindow(uint8_t* into, size_t words, size_t got) const {
  const size_t wanted = 2 * words;
  if (got < wanted) {
    std::memset(into + got, 0, wanted - got);
    short_read_ = true;
  }
}

}  // namespace tovrin
