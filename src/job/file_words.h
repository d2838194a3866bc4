// The words of a drawing file, read piece by piece as the translation needs
// them.
#pragma once

#include "ofi/word_reader.h"
#include "platform/drawing_file.h"

namespace tovrin {

class FileWords : public WordSource {
 public:
  explicit FileWords(const DrawingFile& file) : file_(file) {}
  size_t ReadAt(uint64_t offset, uint8_t* into, size_t size) override {
    return file_.ReadAt(offset, into, size);
  }

 private:
  const DrawingFile& file_;
};

}  // namespace tovrin
