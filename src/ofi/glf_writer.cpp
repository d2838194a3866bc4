#include "ofi/glf_writer.h"

#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <utility>

#include "ofi/format_number.h"

namespace tovrin {

GlfWriter::~GlfWriter() {
  behind_.reset();  // its thread may still be writing to the file
  if (file_) std::fclose(file_);
}

bool GlfWriter::Open(const std::string& path, std::string& error) {
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) {
    error = std::strerror(errno);
    return false;
  }
  Grow(kFlushSize + 64 * 1024);
  GrowMarks(kFlushMarkWords + 1024);
  return true;
}

void GlfWriter::MakeRoom(size_t n) {
  if (file_) Flush();
  if (static_cast<size_t>(end_ - cursor_) < n) Grow(n);
}

void GlfWriter::MakeMarkRoom(size_t words) {
  if (file_) Flush();
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
  if (static_cast<size_t>(marks_end_ - marks_cursor_) < glf_marks::kNumberWords)
    MakeMarkRoom(glf_marks::kNumberWords);
  marks_cursor_[0] = glf_marks::Header(Buffered(), glf_marks::kNumber, 0);
  marks_cursor_[1] = std::bit_cast<uint64_t>(value);
  marks_cursor_[2] = glf_marks::PackPattern(pattern);
  marks_cursor_ += glf_marks::kNumberWords;
  marked_bytes_ += kNumberGuess;
  if (file_ && MarkWords() >= kFlushMarkWords) Flush();
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

void GlfWriter::Flush() {
  const size_t size = Buffered(), words = MarkWords();
  if (!file_ || (size == 0 && words == 0)) return;
  if (failed_) {  // the file is removed anyway; keep counting
    handed_ += size + marked_bytes_;
  } else if (behind_ || written_ > 0) {
    handed_ += size + marked_bytes_;
    HandOver(size, words);
  } else {
    WriteOut(size, words);
  }
  marked_bytes_ = 0;
  cursor_ = data_.get();
  marks_cursor_ = marks_.get();
}

// The first megabyte is written on the job's thread: a small GLF never
// starts a second one.
void GlfWriter::WriteOut(size_t size, size_t mark_words) {
  const size_t bytes = WriteMarkedPiece(data_.get(), size, marks_.get(), mark_words, out_);
  if (std::fwrite(out_.data.get(), 1, bytes, file_) != bytes) {
    failed_ = true;
    error_ = std::strerror(errno);
  }
  written_ += bytes;
}

// The full buffers go to the writing thread; empty ones come back.
void GlfWriter::HandOver(size_t size, size_t mark_words) {
  if (!behind_) behind_ = std::make_unique<WriteBehind>(file_);
  WriteBehind::Piece full;
  full.capacity = static_cast<size_t>(end_ - data_.get());
  full.bytes = std::move(data_);
  full.size = size;
  full.mark_capacity = static_cast<size_t>(marks_end_ - marks_.get());
  full.marks = std::move(marks_);
  full.mark_words = mark_words;
  WriteBehind::Piece next = behind_->Swap(std::move(full));
  data_ = std::move(next.bytes);
  end_ = data_.get() + next.capacity;
  marks_ = std::move(next.marks);
  marks_end_ = marks_.get() + next.mark_capacity;
}

bool GlfWriter::FinishWriteBehind() {
  if (!behind_) return true;
  uint64_t written = 0;
  std::string error;
  const bool ok = behind_->Finish(written, error);
  behind_.reset();
  written_ += written;
  handed_ = 0;
  if (!ok && !failed_) {
    failed_ = true;
    error_ = error;
  }
  return ok;
}

bool GlfWriter::Drain() {
  if (!file_) return !failed_;
  Flush();
  FinishWriteBehind();
  return !failed_;
}

bool GlfWriter::Close(bool to_disk) {
  if (!file_) return !failed_;
  Drain();
  // EINVAL: a file that cannot be synced (a pipe, say); nothing to wait for.
  if (to_disk && !failed_ &&
      (std::fflush(file_) != 0 || (::fsync(::fileno(file_)) != 0 && errno != EINVAL))) {
    failed_ = true;
    error_ = std::strerror(errno);
  }
  if (std::fclose(file_) != 0 && !failed_) {
    failed_ = true;
    error_ = std::strerror(errno);
  }
  file_ = nullptr;
  return !failed_;
}

}  // namespace tovrin
