// Pictures of GLFs too big to hold whole: drawn piece by piece as the GLF is
// read.
#include <QImage>
#include <QPainter>

#include <sys/mman.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "preview/hpgl_parser.h"
#include "preview/line_raster.h"
#include "preview/preview_render.h"
#include "preview/read_ahead.h"
#include "preview/render_parts.h"

namespace tovrin::preview {
namespace {

// Adds a piece of the display list to what is known of the whole.
void Note(GlfSurvey& survey, const PlotPicture& piece) {
  survey.fit.Add(piece.InkBounds());
  survey.points += piece.points.size();
  survey.items += piece.items.size();
  survey.labels += piece.labels.size();
  // Each piece carries the sheet as it stands; the last one the final sheet.
  survey.sheet.paper = piece.paper;
  survey.sheet.media = piece.media;
  survey.sheet.rotation = piece.rotation;
  survey.sheet.copies = piece.copies;
  survey.sheet.extra_pages = piece.extra_pages;
  survey.sheet.truncated = survey.sheet.truncated || piece.truncated;
}

bool SameBox(const Box& a, const Box& b) {
  return a.valid == b.valid &&
         (!a.valid || (a.x0 == b.x0 && a.y0 == b.y0 && a.x1 == b.x1 && a.y1 == b.y1));
}

// An image whose pixels lie on huge pages where the system has them. Lines
// land all over the image, one pixel a row when steep: with small pages
// nearly every pixel needs a page table walk of its own.
QImage HugePageImage(QSize size) {
  constexpr size_t kHugePage = 2u << 20;
  const qsizetype stride = static_cast<qsizetype>(size.width()) * 4;
  const size_t bytes = static_cast<size_t>(stride) * size.height();
  const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  void* pixels = std::aligned_alloc(kHugePage, rounded);
  if (!pixels) return QImage(size, QImage::Format_RGB32);
  ::madvise(pixels, rounded, MADV_HUGEPAGE);
  return QImage(
      static_cast<uchar*>(pixels), size.width(), size.height(), stride, QImage::Format_RGB32,
      [](void* p) { std::free(p); }, pixels);
}

// An image being drawn piece by piece, fitted to `sheet` and `fit`.
class StreamedImage {
 public:
  StreamedImage(const PlotPicture& sheet, const Box& fit, int long_side,
                const RenderOptions& options)
      : sheet_(sheet),
        fit_(fit),
        image_(HugePageImage(FittedImageSize(fit, long_side))),
        raster_(nullptr, 0, 0, 0) {
    image_.fill(options.background);
    raster_ = LineRaster(reinterpret_cast<uint32_t*>(image_.bits()), image_.width(),
                         image_.height(), static_cast<int>(image_.bytesPerLine() / 4));
    painter_.begin(&image_);
    const QTransform view = FittedTransform(BaseTransform(sheet, options.frame), fit,
                                            QRectF(QPointF(0, 0), QSizeF(image_.size())), options);
    painter_.setRenderHint(QPainter::Antialiasing, options.antialias);
    painter_.setRenderHint(QPainter::TextAntialiasing, options.antialias);
    if (options.draw_paper) PaintPaper(painter_, sheet, view);
    items_.emplace(painter_, view, options, &raster_, SIZE_MAX, true);
  }

  void Draw(const PlotPicture& piece) { items_->Run(piece); }

  // False once the drawing so far has left what the image was fitted to.
  bool StillFits(const GlfSurvey& survey) const {
    const Box& ink = survey.fit;
    return SameBox(survey.sheet.paper, sheet_.paper) &&
           (!ink.valid || (fit_.valid && ink.x0 >= fit_.x0 && ink.y0 >= fit_.y0 &&
                           ink.x1 <= fit_.x1 && ink.y1 <= fit_.y1));
  }

  // True when what the whole drawing turned out to be is what it was fitted to.
  bool Fits(const GlfSurvey& survey) const {
    return SameBox(survey.fit, fit_) && SameBox(survey.sheet.paper, sheet_.paper) &&
           SameBox(survey.sheet.media, sheet_.media) && survey.sheet.rotation == sheet_.rotation;
  }

  QImage Finish() {
    items_.reset();
    painter_.end();
    return std::move(image_);
  }

 private:
  PlotPicture sheet_;
  Box fit_;
  QImage image_;
  LineRaster raster_;
  QPainter painter_;
  std::optional<ItemPainter> items_;
};

// The sheet a piece starts with, for a first guess at the fit.
Box SheetFit(const PlotPicture& piece) {
  Box box = piece.paper;
  if (!box.valid) box = piece.InkBounds();
  return box;
}

}  // namespace

GlfSurvey SurveyGlf(std::string_view glf, const ReadProgress& progress) {
  GlfSurvey survey;
  StreamGlf(glf, [&](const PlotPicture& piece, size_t read) {
    Note(survey, piece);
    if (progress) progress(read);
  });
  survey.fit.Add(survey.sheet.paper);
  return survey;
}

QSize FittedImageSize(const Box& box, int long_side) {
  if (!box.valid || box.Width() <= 0 || box.Height() <= 0) return {long_side, long_side};
  // Upright view: plotter y across, x down.
  const double across = box.Height(), down = box.Width();
  if (across >= down)
    return {long_side, std::max(16, static_cast<int>(std::lround(long_side * down / across)))};
  return {std::max(16, static_cast<int>(std::lround(long_side * across / down))), long_side};
}

QImage RenderGlfImage(std::string_view glf, int long_side, const RenderOptions& options,
                      const ReadProgress& progress, GlfSurvey* survey_out) {
  EnsureGuiApplication();
  GlfSurvey survey;
  std::optional<StreamedImage> image;
  bool guess_failed = false;
  StreamGlfAhead(glf, [&](const PlotPicture& piece, size_t read) {
    Note(survey, piece);
    if (!image && !guess_failed) image.emplace(piece, SheetFit(piece), long_side, options);
    if (image && !image->StillFits(survey)) {
      image.reset();  // the rest of this pass only surveys
      guess_failed = true;
    }
    if (image) image->Draw(piece);
    if (progress) progress(read);
  });
  survey.fit.Add(survey.sheet.paper);
  if (survey_out) *survey_out = survey;
  if (image && image->Fits(survey)) return image->Finish();
  // The first guess was wrong: draw again, fitted to what was found.
  image.reset();
  StreamedImage again(survey.sheet, survey.fit, long_side, options);
  StreamGlfAhead(glf, [&](const PlotPicture& piece, size_t read) {
    again.Draw(piece);
    if (progress) progress(read);
  });
  return again.Finish();
}

}  // namespace tovrin::preview
