// Form1 as the plot job's host, its timers, and closing.
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <filesystem>
#include <ostream>

#include "job/plot_job.h"
#include "platform/folder.h"
#include "ui/history_window.h"
#include "ui/main_window.h"
#include "ui/preview_window.h"
#include "ui/spool_events.h"
#include "ui/ui_texts.h"
#include "ui/widgets.h"

namespace tovrin {

namespace {

// The job calls ProcessEvents before every word; pumping the event loop that
// often would cost more than the translation, and even reading the clock
// costs about as much as a word, so it is read every few calls only.
constexpr unsigned kCallsPerClockRead = 64;
// The log is never cleared; a poller running for months keeps the newest lines.
constexpr int kMaxLogLines = 10000;
// A job-log line of a kept drawing holds its key here.
constexpr int kPlotKeyRole = Qt::UserRole + 1;

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

void Form1::RunJob() {
  if (job_running_ || closed_) return;
  job_running_ = true;
  abort_requested_ = false;
  create_button_->setEnabled(false);
  kept_plots_.Clear();
  if (spool_events_) spool_events_->Pause();
  last_summary_ = Job().Run();
  job_running_ = false;
  FlushEcho();
  if (closed_) return;  // closed meanwhile: the window is not touched again
  if (spool_events_ && spool_events_->AfterJob(last_summary_))
    QTimer::singleShot(0, this, &Form1::OnJobDue);
  if (mode_.interval_ms == 0) create_button_->setText(Q(ui_texts::kFinished));
  create_button_->setEnabled(true);
}

PlotJob& Form1::Job() {
  if (!plot_job_) {
    JobOptions job_options;
    job_options.settle_seconds = options_.settle_seconds;
    job_options.repeat = mode_.kind == AutoMode::Kind::Repeat;
    plot_job_ =
        std::make_unique<PlotJob>(*this, options_.spooler, options_.start_folder, job_options);
    plot_job_->SetGlfObserver(
        [this](const std::string& name, const std::string& glf_path) { KeepPlot(name, glf_path); });
  }
  return *plot_job_;
}

// Repeat mode also listens to the OFI folder from start-up on.
void Form1::ListenToFolder() {
  spool_events_ = new SpoolEvents(Job(), this);
  connect(spool_events_, &SpoolEvents::JobDue, this, &Form1::OnJobDue);
  spool_events_->Start(ResolveOfiFolder(options_.start_folder, FieldText("Text1")));
}

// Called while the drawing's line is the last one in the log.
void Form1::KeepPlot(const std::string& name, const std::string& glf_path) {
  if (closed_ || log_->count() == 0) return;
  std::error_code size_error;
  const auto size = std::filesystem::file_size(glf_path, size_error);
  if (size_error || size > kept_plots_.MaxBytes()) return;  // not read at all
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(glf_path, bytes, error)) return;  // the job reports its own failures
  const uint64_t key = kept_plots_.Keep(name, std::string(bytes.begin(), bytes.end()));
  if (key != 0)
    log_->item(log_->count() - 1)->setData(kPlotKeyRole, QVariant::fromValue<qulonglong>(key));
}

QWidget* Form1::OpenPreview(int row) {
  QListWidgetItem* item = log_->item(row);
  if (!item) return nullptr;
  return ShowKept(item->data(kPlotKeyRole).toULongLong());
}

QWidget* Form1::ShowKept(uint64_t key) {
  const KeptPlot* plot = key != 0 ? kept_plots_.Find(key) : nullptr;
  if (!plot) return nullptr;
  for (PreviewWindow* open : findChildren<PreviewWindow*>(Qt::FindDirectChildrenOnly)) {
    if (open->Key() == key) {
      open->raise();
      open->activateWindow();
      return open;
    }
  }
  auto* window = new PreviewWindow(plot->name, plot->glf, key, this);
  window->show();
  return window;
}

bool Form1::Echoing() const {
  return options_.log_echo && mode_.kind != AutoMode::Kind::Interactive;
}

// A line is final once the next one arrives or the job ends.
void Form1::FlushEcho() {
  if (!echo_pending_) return;
  *options_.log_echo << *echo_pending_ << std::endl;
  echo_pending_.reset();
}

void Form1::AddLog(const std::string& line) {
  if (Echoing()) {
    FlushEcho();
    echo_pending_ = line;
  }
  if (closed_) return;
  log_->addItem(Q(line));
  while (log_->count() > kMaxLogLines) delete log_->takeItem(0);
  log_->setCurrentRow(log_->count() - 1);
}

void Form1::ReplaceLastLog(const std::string& line) {
  if (Echoing()) echo_pending_ = line;
  if (closed_) return;
  if (log_->count() == 0) {
    AddLog(line);
    return;
  }
  log_->item(log_->count() - 1)->setText(Q(line));
  log_->setCurrentRow(log_->count() - 1);
}

void Form1::ProcessEvents() {
  if (closed_) return;
  const int every_ms = options_.pump_interval_ms;
  if (every_ms > 0 && pump_clock_.isValid()) {
    if (++pump_calls_ % kCallsPerClockRead != 0 || pump_clock_.elapsed() < every_ms) return;
  }
  QCoreApplication::processEvents();
  pump_clock_.start();
}

// The window stays responsive while a job waits for a drawing to settle.
void Form1::Wait(int ms) {
  if (closed_) return;
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

std::optional<std::vector<std::string>> Form1::ChooseFiles(std::string& ofi_folder) {
  return options_.choose_files(this, ofi_folder, options_.start_folder, file_chooser_pos_);
}

std::string Form1::OutputPrinter() { return FieldText("Text30"); }

void Form1::SetOutputPrinter(const std::string& name) {
  if (!closed_) SetFieldText("Text30", name);
}

void Form1::ShowOfiFolder(const std::string& folder) {
  if (!closed_) SetFieldText("Text1", folder);
}

void Form1::OnAbort() {
  abort_requested_ = true;
  close_timer_->start(400);
}

// A tick never starts a second job: it waits for the next interval.
void Form1::OnRepeatTick() {
  if (closed_ || close_timer_->isActive()) return;
  if (!job_running_) RunJob();
  if (!closed_ && mode_.interval_ms > 0) repeat_timer_->start(mode_.interval_ms);
}

// A drawing closed or moved in: a job at once, between the timer's ticks
// (which go on as they were). During a job the events wait for its end.
void Form1::OnJobDue() {
  if (closed_ || close_timer_->isActive() || job_running_) return;
  RunJob();
}

void Form1::OnSingleRunTick() {
  if (closed_ || close_timer_->isActive()) return;
  if (job_running_) {  // a "作成" job is still running: run once it is over
    single_run_timer_->start(kSingleRunDelayMs);
    return;
  }
  RunJob();
  if (!last_summary_.Clean()) exit_status_ = 1;  // like the batch program
  close();
}

// Every close saves the settings, at once, even in the middle of a job; the
// job then stops at its next check and leaves the window alone.
void Form1::closeEvent(QCloseEvent* event) {
  if (!closed_) {
    closed_ = true;
    abort_requested_ = true;
    repeat_timer_->stop();
    single_run_timer_->stop();
    close_timer_->stop();
    SaveSettings();
    // Previews go with the window; left open they would keep the program running.
    for (PreviewWindow* preview : findChildren<PreviewWindow*>(Qt::FindDirectChildrenOnly))
      preview->close();
    for (HistoryWindow* history : findChildren<HistoryWindow*>(Qt::FindDirectChildrenOnly))
      history->close();
  }
  event->accept();
}

}  // namespace tovrin
