#include "ofi/glf_writer.h"

#include <cerrno>
#include <cstring>

#include "ofi/format_number.h"

namespace tovrin {

GlfWriter::~GlfWriter() {
  if (file_) std::fclose(file_);
}

bool GlfWriter::Open(const std::string& path, std::string& error) {
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) {
    error = std::strerror(errno);
    return false;
  }
  buffer_.reserve(kFlushSize + 4096);
  return true;
}

void GlfWriter::WritePreamble() { Write("\x1b%-1BBPIN"); }

void GlfWriter::WriteTrailer(int copy_count) {
  if (copy_count == 1) {
    Write("PUSP0\x1b" "E");
  } else {
    Write("PUSP0PGRP", FormatNumber(copy_count - 1, "##"), ";\x1b" "E");
  }
}

void GlfWriter::Flush() {
  if (!file_ || buffer_.empty()) return;
  if (!failed_ && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
    failed_ = true;
    error_ = std::strerror(errno);
  }
  flushed_ += buffer_.size();
  buffer_.clear();
}

bool GlfWriter::Close() {
  if (!file_) return !failed_;
  Flush();
  if (std::fclose(file_) != 0 && !failed_) {
    failed_ = true;
    error_ = std::strerror(errno);
  }
  file_ = nullptr;
  return !failed_;
}

}  // namespace tovrin
