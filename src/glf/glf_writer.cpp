#include "glf/glf_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <utility>

#include "glf/format_number.h"

namespace tovrin {

GlfWriter::~GlfWriter() {
  behind_.reset();  // its thread may still be writing to the file
  if (fd_ >= 0) ::close(fd_);
}

bool GlfWriter::Open(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  return Open(fd, error);
}

bool GlfWriter::Open(int fd, std::string& error) {
  if (fd < 0) {
    error = std::strerror(EBADF);
    return false;
  }
  fd_ = fd;
  Grow(kPieceSize + 64 * 1024);
  GrowMarks(kPieceMarkWords + 1024);
  return true;
}

void GlfWriter::MakeRoom(size_t n) {
  if (fd_ >= 0) SendBuffer();
  if (static_cast<size_t>(end_ - cursor_) < n) Grow(n);
}

void GlfWriter::MakeMarkRoom(size_t words) {
  if (fd_ >= 0) SendBuffer();
  if (static_cast<size_t>(marks_end_ - marks_cursor_) < words) GrowMarks(words);
}

namespace {

// Makes room for `n` more elements after `cursor`, at least doubling the
// buffer (to `smallest` at first) and keeping what it holds.
template <typename T>
void GrowBuffer(std::unique_ptr<T[]>& data, T*& cursor, T*& end, size_t n, size_t smallest) {
  const size_t used = static_cast<size_t>(cursor - data.get());
  const size_t capacity = static_cast<size_t>(end - data.get());
  size_t wanted = capacity < smallest ? smallest : 2 * capacity;
  if (wanted < used + n) wanted = used + n;
  std::unique_ptr<T[]> bigger(new T[wanted]);
  if (used) std::memcpy(bigger.get(), data.get(), used * sizeof(T));
  data = std::move(bigger);
  cursor = data.get() + used;
  end = data.get() + wanted;
}

}  // namespace

void GlfWriter::Grow(size_t n) { GrowBuffer(data_, cursor_, end_, n, 4096); }

void GlfWriter::GrowMarks(size_t words) {
  GrowBuffer(marks_, marks_cursor_, marks_end_, words, 1024);
}

void GlfWriter::WriteNumber(double value, const NumberPattern& pattern) {
  if (!FitsNumberText(pattern)) {  // no pattern in use is this wide
    NumberText text;
    FormatNumber(value, pattern, text);
    Append(std::string_view(text));
    return;
  }
  if (fd_ < 0) {  // in memory the digits go in at once: the count stays exact
    Commit(WriteNumberAt(Room(kMaxNumberText), value, pattern));
    return;
  }
  if (static_cast<size_t>(marks_end_ - marks_cursor_) < glf_marks::kNumberWords)
    MakeMarkRoom(glf_marks::kNumberWords);
  marks_cursor_[0] = glf_marks::Header(Buffered(), glf_marks::kNumber, 0);
  marks_cursor_[1] = std::bit_cast<uint64_t>(value);
  marks_cursor_[2] = glf_marks::PackPattern(pattern);
  marks_cursor_ += glf_marks::kNumberWords;
  marked_least_ += LeastNumberText(value, pattern);
  if (MarkWords() >= kPieceMarkWords) SendBuffer();
}

void GlfWriter::WritePreamble() { Write("\x1b%-1BBPIN"); }

void GlfWriter::WriteTrailer(int copy_count) {
  if (copy_count == 1) {
    Write("PUSP0\033E");
  } else {
    Write("PUSP0PGRP", FormatNumber(copy_count - 1, "##"), ";\033E");
  }
}

std::string GlfWriter::Bytes() const {
  if (Buffered() == 0 && MarkWords() == 0) return {};
  ByteBuffer whole;
  const size_t size = WriteMarkedPiece(data_.get(), Buffered(), marks_.get(), MarkWords(), whole);
  return {whole.data.get(), size};
}

void GlfWriter::SendBuffer() {
  const size_t size = Buffered(), words = MarkWords();
  if (fd_ < 0 || (size == 0 && words == 0)) return;
  const uint64_t least = size + marked_least_;
  if (failed_ || withheld_) {
    counted_ += least;  // the file is not kept; counted all the same
  } else if (behind_ || (counted_ > 0 && StartWriteBehind())) {
    HandToThread(size, words, least);
  } else {
    WriteHere(size, words);
  }
  marked_least_ = 0;
  cursor_ = data_.get();
  marks_cursor_ = marks_.get();
}

// Tried once: refused, the rest of the GLF goes out on this thread.
bool GlfWriter::StartWriteBehind() {
  if (!thread_note_.empty()) return false;
  std::string reason;
  behind_ = WriteBehind::Start(fd_, in_file_ < limit_ ? limit_ - in_file_ : 0, reason);
  if (!behind_) thread_note_ = "GLF written without a thread of its own (" + reason + ")";
  return behind_ != nullptr;
}

// The first megabyte is written on the job's thread: a small GLF never
// starts a second one.
void GlfWriter::WriteHere(size_t size, size_t mark_words) {
  const size_t bytes = WriteMarkedPiece(data_.get(), size, marks_.get(), mark_words, out_);
  counted_ += bytes;
  if (in_file_ + bytes > limit_) {
    withheld_ = true;
    return;
  }
  if (!WriteAll(fd_, out_.data.get(), bytes, error_)) {
    failed_ = true;
    return;
  }
  in_file_ += bytes;
}

// The full buffers go to the writing thread; empty ones come back.
void GlfWriter::HandToThread(size_t size, size_t mark_words, uint64_t least) {
  WriteBehind::Piece full;
  full.capacity = static_cast<size_t>(end_ - data_.get());
  full.bytes = std::move(data_);
  full.size = size;
  full.mark_capacity = static_cast<size_t>(marks_end_ - marks_.get());
  full.marks = std::move(marks_);
  full.mark_words = mark_words;
  full.least = least;
  handed_least_ += least;
  WriteBehind::Piece next = behind_->Swap(std::move(full));
  data_ = std::move(next.bytes);
  end_ = data_.get() + next.capacity;
  marks_ = std::move(next.marks);
  marks_end_ = marks_.get() + next.mark_capacity;
}

bool GlfWriter::StopWriteBehind(bool drop) {
  if (!behind_) return true;
  const WriteBehind::Written w = drop ? behind_->Discard() : behind_->Finish();
  behind_.reset();
  counted_ += w.bytes;
  handed_least_ = 0;
  in_file_ += w.in_file;
  withheld_ = withheld_ || w.withheld;
  if (w.failed && !failed_) {
    failed_ = true;
    error_ = w.error;
  }
  return !w.failed;
}

bool GlfWriter::Flush() {
  if (fd_ < 0) return !failed_;
  SendBuffer();
  StopWriteBehind(/*drop=*/false);
  return !failed_;
}

bool GlfWriter::Finish(bool to_disk) {
  if (fd_ < 0) return !failed_;
  Flush();
  // EINVAL: a file that cannot be synced (a pipe, say); nothing to wait for.
  if (to_disk && !failed_ && ::fsync(fd_) != 0 && errno != EINVAL) {
    failed_ = true;
    error_ = std::strerror(errno);
  }
  if (::close(fd_) != 0 && !failed_) {
    failed_ = true;
    error_ = std::strerror(errno);
  }
  fd_ = -1;
  return !failed_;
}

void GlfWriter::Discard() {
  StopWriteBehind(/*drop=*/true);
  counted_ += Buffered() + marked_least_;
  marked_least_ = 0;
  cursor_ = data_.get();
  marks_cursor_ = marks_.get();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace tovrin
