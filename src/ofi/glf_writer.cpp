#include "ofi/glf_writer.h"

#include <unistd.h>

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
  return true;
}

void GlfWriter::MakeRoom(size_t n) {
  if (file_) Flush();
  if (static_cast<size_t>(end_ - cursor_) < n) Grow(n);
}

void GlfWriter::Grow(size_t n) {
  const size_t used = Buffered();
  const size_t capacity = static_cast<size_t>(end_ - data_.get());
  size_t wanted = capacity < 4096 ? 4096 : 2 * capacity;
  if (wanted < used + n) wanted = used + n;
  std::unique_ptr<char[]> bigger(new char[wanted]);
  if (used) std::memcpy(bigger.get(), data_.get(), used);
  data_ = std::move(bigger);
  cursor_ = data_.get() + used;
  end_ = data_.get() + wanted;
}

void GlfWriter::WritePreamble() { Write("\x1b%-1BBPIN"); }

void GlfWriter::WriteTrailer(int copy_count) {
  if (copy_count == 1) {
    Write("PUSP0\033E");
  } else {
    Write("PUSP0PGRP", FormatNumber(copy_count - 1, "##"), ";\033E");
  }
}

void GlfWriter::Flush() {
  const size_t size = Buffered();
  if (!file_ || size == 0) return;
  if (failed_) {  // the file is removed anyway; keep counting
    flushed_ += size;
    cursor_ = data_.get();
    return;
  }
  if (behind_ || flushed_ > 0) {
    flushed_ += size;
    HandOver(size);
    return;
  }
  if (std::fwrite(data_.get(), 1, size, file_) != size) {
    failed_ = true;
    error_ = std::strerror(errno);
  }
  flushed_ += size;
  cursor_ = data_.get();
}

// The full buffer goes to the writing thread; an empty one comes back.
void GlfWriter::HandOver(size_t size) {
  if (!behind_) behind_ = std::make_unique<WriteBehind>(file_);
  const size_t capacity = static_cast<size_t>(end_ - data_.get());
  WriteBehind::Buffer next = behind_->Swap({std::move(data_), capacity}, size);
  data_ = std::move(next.data);
  cursor_ = data_.get();
  end_ = cursor_ + next.capacity;
}

bool GlfWriter::FinishWriteBehind() {
  if (!behind_) return true;
  std::string error;
  const bool written = behind_->Finish(error);
  behind_.reset();
  if (!written && !failed_) {
    failed_ = true;
    error_ = error;
  }
  return written;
}

bool GlfWriter::Close(bool to_disk) {
  if (!file_) return !failed_;
  Flush();
  FinishWriteBehind();
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
