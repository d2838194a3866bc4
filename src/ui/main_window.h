// Form1, the main window: every setting in a field, the job log, "作成" and
// "中止", and the program's start-up, shut-down and automatic mode.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "job/job_host.h"
#include "job/plot_job.h"
#include "ui/auto_mode.h"
#include "ui/file_chooser.h"
#include "ui/kept_plots.h"

class QColor;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QTimer;

namespace tovrin {

class CaptionButton;
class PlotJob;
class ClickLabel;
class Spooler;
class SpoolEvents;

struct MainWindowOptions {
  std::string start_folder;    // current folder at start: Tovrin.sys, work file, default OFI folder
  std::string command_line;    // the argument text as a whole
  Spooler* spooler = nullptr;  // null: no printing, the printer chooser lists nothing
  // A job lets the window handle its events at most this often; 0: at every
  // call (tests that act in the middle of a drawing).
  int pump_interval_ms = 15;
  // A drawing is taken once it has not been modified for this long.
  double settle_seconds = 2;
  // Automatic runs also print each job-log line here once it is final, as
  // the batch program does (the program passes stdout); null: not at all.
  std::ostream* log_echo = nullptr;

  // The dialogs, replaceable so the window can be driven without them.
  std::function<std::vector<std::string>(QWidget*, std::string&, const std::string&,
                                         ChooserPosition&)>
      choose_files;
  std::function<std::optional<std::string>(QWidget*, Spooler&, ChooserPosition&)> choose_printer;
  std::function<std::optional<QColor>(const QColor&, QWidget*)> pick_colour;
};

class Form1 : public QWidget, public JobHost {
  Q_OBJECT
 public:
  // Start-up up to showing: defaults, Tovrin.sys, fields, position, palette,
  // roll-paper rule, command line. The caller shows the window.
  explicit Form1(MainWindowOptions options, QWidget* parent = nullptr);
  ~Form1() override;

  // Runs one plot job (the "作成" click); returns when it has ended. Does
  // nothing while a job runs.
  void RunJob();
  bool JobRunning() const { return job_running_; }

  // The GLFs of the last job's drawings, behind their job-log lines.
  const KeptPlots& KeptDrawings() const { return kept_plots_; }
  // Opens (or raises) the preview of the drawing on log line `row`; null
  // when that line is no kept drawing.
  QWidget* OpenPreview(int row);
  // Opens (or raises) the job history of the start folder ("履歴").
  QWidget* OpenHistory();

  const AutoMode& Mode() const { return mode_; }
  // Non-zero once the settings could not be saved at close, or when the
  // single automatic run left a drawing unfinished.
  int ExitStatus() const { return exit_status_; }
  // What the last job did.
  const JobSummary& LastSummary() const { return last_summary_; }
  std::string SettingsPath() const;

  std::string FieldText(const std::string& name) const;
  void SetFieldText(const std::string& name, const std::string& text);
  // Palette colour 1..11 as 0x00BBGGRR.
  uint32_t PaletteColour(int number) const;

  // JobHost
  bool CaptureSettings(PlotSettings& settings, std::string& error) override;
  void AddLog(const std::string& line) override;
  void ReplaceLastLog(const std::string& line) override;
  void ProcessEvents() override;
  bool AbortRequested() override { return abort_requested_ || closed_; }
  void Wait(int ms) override;
  std::optional<std::vector<std::string>> ChooseFiles(std::string& ofi_folder) override;
  std::string OutputPrinter() override;
  void SetOutputPrinter(const std::string& name) override;
  void ShowOfiFolder(const std::string& folder) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Rect {
    int left, top, width, height;
  };

  // Layout
  int Px(int twips) const;
  QLineEdit* AddField(const char* name, Rect r, bool editable, bool right_aligned);
  ClickLabel* AddLabel(const char* name, const char* caption, Rect r, const char* tooltip = nullptr,
                       Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter);
  CaptionButton* AddButton(const char* name, const char* caption, Rect r);
  void BuildControls();
  void BuildRotationRows();
  void BuildPenRows();
  void BuildTextRows();
  void BuildPaletteRows();
  void BuildTimers();
  void ConnectLabelCycles();
  void CycleField(const char* label, const char* field,
                  std::function<std::string(const std::string&)> next);

  // Settings in the fields
  void ShowSettings(const PlotSettings& s);
  bool CaptureAll(PlotSettings& s, std::string& error);
  void PlaceWindow(int16_t top, int16_t left);
  std::pair<int16_t, int16_t> WindowPosition() const;
  void SetPaletteColour(int number, uint32_t bgr);
  void ApplyRollPaperRule();
  void SetCutSheetEnabled(int column, bool enabled);
  void ApplyCommandLine();
  void SaveSettings();

  // Handlers
  void OnPlotterCycle();
  void OnLevelToggle();
  void OnPaletteClick(int number);
  void OnAbort();
  void OnChangePrinter();
  void OnRepeatTick();
  void OnJobDue();
  PlotJob& Job();
  void ListenToFolder();
  void OnSingleRunTick();
  void KeepPlot(const std::string& name, const std::string& glf_path);
  bool Echoing() const;
  void FlushEcho();
  QWidget* ShowKept(uint64_t key);

  MainWindowOptions options_;
  double dpi_ = 96;
  AutoMode mode_;
  std::map<std::string, QLineEdit*> fields_;
  ClickLabel* plot_field_ = nullptr;  // Text32: two lines, read-only
  std::map<std::string, ClickLabel*> labels_;
  CaptionButton* create_button_ = nullptr;
  QListWidget* log_ = nullptr;
  std::array<CaptionButton*, 11> palette_buttons_{};
  std::array<uint32_t, 11> palette_{};
  std::map<QObject*, char> key_filters_;  // field → lowest accepted character
  QTimer* repeat_timer_ = nullptr;        // Timer1
  QTimer* single_run_timer_ = nullptr;    // Timer2
  QTimer* close_timer_ = nullptr;         // Timer3

  KeptPlots kept_plots_;
  // Lives from job to job: a poller remembers what it must not repeat.
  std::unique_ptr<PlotJob> plot_job_;
  SpoolEvents* spool_events_ = nullptr;  // repeat mode only

  ChooserPosition file_chooser_pos_;
  ChooserPosition printer_chooser_pos_;
  std::string remembered_printer_;
  std::array<std::string, 4> saved_levels_;  // "文字太さ　レベル" toggle, empty at start

  QElapsedTimer pump_clock_;
  unsigned pump_calls_ = 0;
  JobSummary last_summary_;
  std::optional<std::string> echo_pending_;  // the last log line, until it is final
  bool job_running_ = false;
  bool abort_requested_ = false;
  bool closed_ = false;
  int exit_status_ = 0;
  bool keep_settings_backup_ = false;  // Tovrin.sys was not read to its end
};

}  // namespace tovrin
