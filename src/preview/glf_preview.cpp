#include "preview/glf_preview.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>

#include "platform/folder.h"
#include "platform/spool_files.h"
#include "preview/hpgl_parser.h"
#include "preview/preview_render.h"
#include "preview/preview_texts.h"

namespace tovrin::preview {
namespace {

constexpr size_t kLabelSvgPoints = 8;

QSize FittedSize(const PlotPicture& picture, int long_side) {
  Box box = picture.InkBounds();
  box.Add(picture.paper);
  return FittedImageSize(box, long_side);
}

QString Path(const std::string& folder, const std::string& stem, const char* ext) {
  return QString::fromStdString(JoinPath(folder, stem + ext));
}

// Written to a new file of its own and renamed over the name, so that a
// link or a second name of another file planted under the name is
// replaced, never written through.
bool WriteReplacing(const std::string& folder, const std::string& name,
                    const std::function<bool(QIODevice&)>& write, std::string& error) {
  const std::string path = JoinPath(folder, name);
  std::string why;
  const auto temp = CreateTempFile(folder, ".tovrin-" + name + ".tmp", why);
  if (!temp) {
    error = path + texts::kCannotWrite;
    return false;
  }
  QFile file;
  bool ok = file.open(temp->fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
  if (!ok) ::close(temp->fd);
  ok = ok && write(file);
  file.close();
  ok =
      ok && file.error() == QFileDevice::NoError && ::rename(temp->path.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp->path.c_str());
    error = path + texts::kCannotWrite;
  }
  return ok;
}

bool SavePng(const QImage& image, const std::string& folder, const std::string& stem,
             std::string& error) {
  return WriteReplacing(
      folder, stem + ".png", [&](QIODevice& file) { return image.save(&file, "PNG"); }, error);
}

bool SaveSvg(const PlotPicture& picture, int width, const std::string& folder,
             const std::string& stem, std::string& error) {
  const QByteArray bytes = RenderSvg(picture, width);
  return WriteReplacing(
      folder, stem + ".svg", [&](QIODevice& file) { return file.write(bytes) == bytes.size(); },
      error);
}

std::string SkipNote(const std::string& folder, const std::string& stem, const char* reason) {
  return Path(folder, stem, ".svg").toStdString() + texts::kSvgSkipped + reason;
}

// A GLF too big to hold as a display list: drawn straight into the PNG as
// it is read.
bool WriteStreamed(std::string_view glf, const std::string& folder, const std::string& stem,
                   std::string& error, PreviewOutcome& outcome, const ReadProgress& progress) {
  GlfSurvey survey;
  const QImage image = RenderGlfImage(glf, kPreviewLongSide, {}, progress, &survey);
  outcome.simplified = survey.sheet.truncated;
  outcome.note = SkipNote(folder, stem, texts::kGlfTooBig);
  return SavePng(image, folder, stem, error);
}

bool WriteFiles(std::string_view glf, const std::string& folder, const std::string& stem,
                std::string& error, PreviewOutcome* outcome, const ReadProgress& progress) {
  PreviewOutcome ignored;
  PreviewOutcome& out = outcome ? *outcome : ignored;
  out = {};
  if (!QDir().mkpath(QString::fromStdString(folder))) {
    error = folder + texts::kCannotCreateFolder;
    return false;
  }
  if (glf.size() > kWholePictureGlfBytes)
    return WriteStreamed(glf, folder, stem, error, out, progress);
  const PlotPicture picture = ParseGlf(glf);
  out.simplified = picture.truncated;
  const QSize size = FittedSize(picture, kPreviewLongSide);
  if (!SavePng(RenderImage(picture, size), folder, stem, error)) return false;
  if (picture.points.size() + kLabelSvgPoints * picture.labels.size() > kMaxSvgPoints) {
    out.note = SkipNote(folder, stem, texts::kPictureTooBig);
    return true;
  }
  out.svg_written = SaveSvg(picture, size.width(), folder, stem, error);
  return out.svg_written;
}

// A read-only map of a whole file whose pages are let go once read, so a
// big GLF never sits in memory whole.
class MappedFile {
 public:
  bool Open(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
      error = path + ": " + std::strerror(errno);
      if (fd >= 0) ::close(fd);
      return false;
    }
    size_ = static_cast<size_t>(st.st_size);
    if (size_ > 0) {
      void* at = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
      if (at == MAP_FAILED) {
        error = path + ": " + std::strerror(errno);
        ::close(fd);
        return false;
      }
      data_ = static_cast<const char*>(at);
      ::madvise(at, size_, MADV_SEQUENTIAL);
    }
    ::close(fd);
    return true;
  }
  ~MappedFile() {
    if (data_) ::munmap(const_cast<char*>(data_), size_);
  }
  std::string_view Bytes() const { return {data_, size_}; }
  // Drops the pages before `read` from memory; they are read again if needed.
  void Release(size_t read) {
    const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    const size_t end = std::min(read, size_) / page * page;
    if (data_ && end > 0) ::madvise(const_cast<char*>(data_), end, MADV_DONTNEED);
  }

 private:
  const char* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace

bool WritePreviewFiles(std::string_view glf, const std::string& folder, const std::string& stem,
                       std::string& error, PreviewOutcome* outcome) {
  return WriteFiles(glf, folder, stem, error, outcome, {});
}

bool WritePreviewFilesFor(const std::string& glf_path, const std::string& folder,
                          const std::string& stem, std::string& error, PreviewOutcome* outcome) {
  MappedFile file;
  if (!file.Open(glf_path, error)) return false;
  return WriteFiles(file.Bytes(), folder, stem, error, outcome,
                    [&](size_t read) { file.Release(read); });
}

}  // namespace tovrin::preview
