#include "web/status_view.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "job/plot_job.h"
#include "web/preview_files.h"
#include "web/status_labels.h"
#include "web/text_escape.h"

namespace tovrin::web {
namespace {

constexpr auto kMaxAge = std::chrono::seconds(1);
// Lost deliveries looked up in the history per view: each costs a query.
constexpr int kMaxLostLookups = 32;

double WallSeconds() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

void AddWaiting(StatusView& view, WaitingEntry entry) {
  if (view.waiting.size() >= kMaxWaitingShown) {
    ++view.waiting_left_off;
    return;
  }
  for (const WaitingEntry& e : view.waiting)
    if (e.name == entry.name) return;  // the poller's own listing says it best
  view.waiting.push_back(std::move(entry));
}

// "ジョブ 12 保留 reason", leaving out what is not known.
std::string Detail(const HistoryRow& row) {
  std::string detail;
  const auto add = [&](const std::string& part) {
    if (!part.empty()) detail += (detail.empty() ? "" : " ") + part;
  };
  if (row.cups_job_id) add("ジョブ " + std::to_string(row.cups_job_id));
  add(CupsStateLabel(row.cups_state));
  add(row.reason);
  return detail;
}

// The newest lost rows whose drawing has no newer row: still lost.
bool AddLost(JobHistory& history, const std::vector<HistoryRow>& failed, StatusView& view) {
  std::set<std::string> seen;
  int lookups = 0;
  for (auto it = failed.rbegin(); it != failed.rend() && lookups < kMaxLostLookups; ++it) {
    if (it->result != history_result::kLost) continue;
    if (!seen.insert(it->drawing.folder + '/' + it->drawing.name).second) continue;
    ++lookups;
    std::optional<HistoryRow> newest;
    if (!history.LastNamed(it->drawing.folder, it->drawing.name, newest)) return false;
    if (newest && newest->id == it->id)
      AddWaiting(view, {it->drawing.name, "lost", Detail(*it), true});
  }
  return true;
}

bool ReadRows(JobHistory& history, StatusView& view) {
  std::vector<HistoryRow> last, waiting, failed;
  if (!history.Last(kPageRows, RowFilter::All, last) || !history.Waiting("", waiting) ||
      !history.Last(kPageRows, RowFilter::Failed, failed))
    return false;
  for (auto it = last.rbegin(); it != last.rend(); ++it) view.rows.push_back({*it, {}});
  for (const HistoryRow& row : waiting) {
    const char* why = row.cups_state == "pending-held" ? "held" : "with_spooler";
    AddWaiting(view, {row.drawing.name, why, Detail(row), true});
  }
  return AddLost(history, failed, view);
}

}  // namespace

const char* WhyCode(WaitingDrawing::Why why) {
  switch (why) {
    case WaitingDrawing::Why::Settling: return "settling";
    case WaitingDrawing::Why::Incomplete: return "incomplete";
    case WaitingDrawing::Why::WithSpooler: return "with_spooler";
    case WaitingDrawing::Why::Held: return "held";
    case WaitingDrawing::Why::Lost: return "lost";
    case WaitingDrawing::Why::Failed: return "failed";
  }
  return "failed";
}

StatusSource::StatusSource(const StatusBoard& board, std::string history_path,
                           std::optional<std::string> preview_folder)
    : board_(board),
      history_(std::move(history_path)),
      preview_folder_(std::move(preview_folder)) {}

std::shared_ptr<const StatusView> StatusSource::View() {
  std::lock_guard lock(mutex_);
  const auto now = std::chrono::steady_clock::now();
  if (!view_ || now - built_ >= kMaxAge) {
    view_ = Build();
    built_ = now;
  }
  return view_;
}

std::shared_ptr<const HistoryRead> StatusSource::Rows(int count, RowFilter filter) {
  std::lock_guard lock(mutex_);
  const auto now = std::chrono::steady_clock::now();
  if (rows_.size() >= 16) rows_.clear();  // any limit may be asked for: keep few
  KeptRows& kept = rows_[{count, filter}];
  if (kept.read && now - kept.at < kMaxAge) return kept.read;
  auto read = std::make_shared<HistoryRead>();
  read->outcome = history_.Read(
      [&](JobHistory& history) { return history.Last(count, filter, read->rows); }, read->error);
  std::reverse(read->rows.begin(), read->rows.end());
  kept = {read, now};
  return read;
}

std::shared_ptr<const StatusView> StatusSource::Build() {
  auto view = std::make_shared<StatusView>();
  view->generated = WallSeconds();
  view->poller = board_.Snapshot();
  for (const WaitingDrawing& w : view->poller.waiting)
    AddWaiting(*view, {w.name, WhyCode(w.why), w.detail, false});
  ReadHistory(*view);
  FindPictures(*view);
  return view;
}

void StatusSource::ReadHistory(StatusView& view) {
  StatusView read;  // kept only when every query answered
  view.history = history_.Read(
      [&](JobHistory& history) {
        read.waiting = view.waiting;
        read.waiting_left_off = view.waiting_left_off;
        return ReadRows(history, read);
      },
      view.history_error);
  if (view.history != HistoryReader::Outcome::Read) return;
  view.rows = std::move(read.rows);
  view.waiting = std::move(read.waiting);
  view.waiting_left_off = read.waiting_left_off;
}

// A picture is shown only when it is a plain file of the preview folder
// itself (a link there may point anywhere).
void StatusSource::FindPictures(StatusView& view) const {
  if (!preview_folder_) return;
  const int dir = ::open(preview_folder_->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  for (ShownRow& shown : view.rows) {
    const std::string picture = PictureName(shown.row.drawing.name);
    struct stat st {};
    if (picture.empty() || ::fstatat(dir, picture.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode))
      continue;
    const int64_t version = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    shown.preview_url = "/preview/" + PercentEncode(picture) + "?v=" + std::to_string(version);
    view.pictures.insert(picture);
  }
  ::close(dir);
}

}  // namespace tovrin::web
