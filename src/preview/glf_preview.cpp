#include "preview/glf_preview.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>

#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/folder.h"
#include "preview/hpgl_parser.h"
#include "preview/preview_render.h"
#include "preview/preview_texts.h"

namespace tovrin::preview {
namespace {

// The image size that holds the sheet with its longer side `long_side`.
QSize FittedSize(const PlotPicture& picture, int long_side) {
  Box box = picture.InkBounds();
  box.Add(picture.paper);
  if (!box.valid || box.Width() <= 0 || box.Height() <= 0) return {long_side, long_side};
  // Upright view: plotter y across, x down.
  const double across = box.Height(), down = box.Width();
  if (across >= down)
    return {long_side, std::max(16, static_cast<int>(std::lround(long_side * down / across)))};
  return {std::max(16, static_cast<int>(std::lround(long_side * across / down))), long_side};
}

QString Path(const std::string& folder, const std::string& stem, const char* ext) {
  return QString::fromStdString(JoinPath(folder, stem + ext));
}

}  // namespace

bool WritePreviewFiles(std::string_view glf, const std::string& folder, const std::string& stem,
                       std::string& error) {
  if (!QDir().mkpath(QString::fromStdString(folder))) {
    error = folder + texts::kCannotCreateFolder;
    return false;
  }
  const PlotPicture picture = ParseGlf(glf);
  const QSize size = FittedSize(picture, kPreviewLongSide);
  const QString png = Path(folder, stem, ".png");
  if (!RenderImage(picture, size).save(png, "PNG")) {
    error = png.toStdString() + texts::kCannotWrite;
    return false;
  }
  const QString svg_path = Path(folder, stem, ".svg");
  QFile svg(svg_path);
  const QByteArray bytes = RenderSvg(picture, size.width());
  if (!svg.open(QIODevice::WriteOnly) || svg.write(bytes) != bytes.size()) {
    error = svg_path.toStdString() + texts::kCannotWrite;
    return false;
  }
  return true;
}

bool WritePreviewFilesFor(const std::string& glf_path, const std::string& folder,
                          const std::string& stem, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(glf_path, bytes, error)) return false;
  return WritePreviewFiles(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                           folder, stem, error);
}

}  // namespace tovrin::preview
