#include "ui/chooser_preview.h"

#include <QElapsedTimer>
#include <filesystem>
#include <vector>

#include "glf/glf_writer.h"
#include "ofi/job_snapshot.h"
#include "ofi/translation.h"
#include "platform/folder.h"
#include "preview/hpgl_parser.h"
#include "preview/preview_texts.h"
#include "translate/reader_cycle.h"
#include "ui/preview_window.h"

namespace tovrin {
namespace {

// The translation asks to go on only every few thousand words, so the clock
// is read at every ask.
constexpr unsigned kAsksPerClockRead = 1;

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

PreviewTranslation TranslateForPreview(const std::string& ofi_path, const PlotSettings& settings,
                                       int budget_ms) {
  PreviewTranslation result;
  std::error_code size_error;
  const auto size = std::filesystem::file_size(ofi_path, size_error);
  if (!size_error && size > kMaxPreviewOfiBytes) {
    result.problem = "大きすぎるためプレビューしません (" + std::to_string(size >> 20) + " MB)";
    return result;
  }
  std::vector<uint8_t> ofi;
  std::string error;
  if (!ReadWholeFile(ofi_path, ofi, error)) {
    result.problem = "読めません (" + error + ")";
    return result;
  }
  JobContext job(MakeSnapshot(settings));
  GlfWriter out;
  QElapsedTimer clock;
  clock.start();
  unsigned asks = 0;
  DrawingResult drawn = TranslateDrawing(job, ofi, out, [&] {
    return ++asks % kAsksPerClockRead != 0 || clock.elapsed() < budget_ms;
  });
  switch (drawn.end) {
    case DrawingEnd::Finished:
    case DrawingEnd::Incomplete:  // shows what is there; the job would not plot it
      result.glf = out.Bytes();
      break;
    case DrawingEnd::Aborted:
      result.glf = out.Bytes();
      result.partial = true;
      result.problem = "時間がかかるため途中までです";
      break;
    case DrawingEnd::Rejected: result.problem = "出図できません: " + drawn.reason; break;
  }
  return result;
}

ChooserPreview::ChooserPreview(QWidget* parent, PlotSettings settings)
    : QFrame(parent), settings_(std::move(settings)) {
  setObjectName(QStringLiteral("PreviewPane"));
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  view_ = new PlotView(this);
  ShowNothing();
}

void ChooserPreview::ShowDrawing(const std::string& ofi_path) {
  shown_ = ofi_path;
  PreviewTranslation made = TranslateForPreview(ofi_path, settings_);
  if (made.glf.empty()) {
    view_->ShowMessage(Q(made.problem));
    return;
  }
  preview::PlotPicture picture = preview::ParseGlf(made.glf, kPlotViewLimits);
  const QString note = made.partial        ? Q(made.problem)
                       : picture.truncated ? QString::fromUtf8(preview::texts::kSimplified)
                                           : QString();
  view_->SetPicture(std::move(picture));
  view_->SetNote(note);
}

void ChooserPreview::ShowNothing() {
  shown_.clear();
  view_->ShowMessage(QStringLiteral("図面を選ぶとここに表示します"));
}

void ChooserPreview::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  view_->setGeometry(contentsRect());
}

}  // namespace tovrin
