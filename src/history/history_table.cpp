#include "history/history_table.h"

#include <array>
#include <ctime>
#include <map>

namespace tovrin {
namespace {

bool IsWide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

// Control characters (a header text may hold any byte) would move the
// cursor or end the line: they print as blanks.
std::string Printable(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return out;
}

std::string Pad(const std::string& cell, size_t width, bool right) {
  size_t w = DisplayWidth(cell);
  if (w >= width) return cell;
  std::string fill(width - w, ' ');
  return right ? fill + cell : cell + fill;
}

// The byte counts line up on their last digit.
bool RightAligned(size_t column) { return column == 4 || column == 5; }

std::string CupsJob(const HistoryRow& r) {
  if (r.cups_job_id == 0) return r.cups_state.empty() ? "-" : r.cups_state;
  std::string s = std::to_string(r.cups_job_id);
  return r.cups_state.empty() ? s : s + " " + r.cups_state;
}

constexpr size_t kColumns = 10;
using Line = std::array<std::string, kColumns>;

Line Cells(const HistoryRow& r) {
  auto or_dash = [](const std::string& s) { return s.empty() ? std::string("-") : Printable(s); };
  return {FormatLocalTime(r.started_ms),
          FormatLocalTime(r.ended_ms),
          or_dash(r.drawing.name),
          or_dash(r.header),
          std::to_string(r.drawing.size),
          std::to_string(r.glf_bytes),
          or_dash(r.result),
          or_dash(r.printer),
          CupsJob(r),
          Printable(r.reason)};
}

}  // namespace

size_t DisplayWidth(const std::string& utf8) {
  size_t width = 0;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char b = static_cast<unsigned char>(utf8[i]);
    int extra = b < 0x80 ? 0 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    char32_t c = extra == 0 ? b : b & (0x3F >> extra);
    size_t j = i + 1;
    for (; j < utf8.size() && j <= i + static_cast<size_t>(extra); ++j)
      c = (c << 6) | (static_cast<unsigned char>(utf8[j]) & 0x3F);
    width += IsWide(c) ? 2 : 1;
    i = j;
  }
  return width;
}

std::string FormatLocalTime(int64_t ms) {
  if (ms == 0) return "-";
  std::time_t t = static_cast<std::time_t>(ms / 1000);
  std::tm local{};
  if (!::localtime_r(&t, &local)) return "-";
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
  return buf;
}

std::string ResultText(const std::string& result) {
  static const std::map<std::string, std::string> kTexts = {
      {history_result::kPlotting, "出図中"},   {history_result::kDelivering, "送信中"},
      {history_result::kFinished, "出図終了"}, {history_result::kAborted, "出図中止"},
      {history_result::kRejected, "出図不可"}, {history_result::kIncomplete, "図面不完全"},
      {history_result::kFailed, "出力失敗"},   {history_result::kSending, "送信開始"},
      {history_result::kLost, "ジョブ不明"},   {history_result::kReleased, "再出図待ち"}};
  auto it = kTexts.find(result);
  return it != kTexts.end() ? it->second : result;
}

std::string CupsStateText(const std::string& state) {
  static const std::map<std::string, std::string> kTexts = {
      {"pending", "待機中"},          {"pending-held", "保留"}, {"processing", "処理中"},
      {"processing-stopped", "停止"}, {"canceled", "取消"},     {"aborted", "中断"},
      {"completed", "完了"}};
  auto it = kTexts.find(state);
  return it != kTexts.end() ? it->second : state;
}

std::string FormatHistoryTable(const std::vector<HistoryRow>& rows) {
  std::vector<Line> lines = {{"started", "ended", "file", "header", "ofi-bytes", "glf-bytes",
                              "result", "printer", "cups-job", "reason"}};
  for (const HistoryRow& r : rows) lines.push_back(Cells(r));
  std::array<size_t, kColumns> width{};
  for (const Line& line : lines)
    for (size_t c = 0; c < kColumns; ++c) width[c] = std::max(width[c], DisplayWidth(line[c]));
  std::string out;
  for (const Line& line : lines) {
    std::string text;
    for (size_t c = 0; c + 1 < kColumns; ++c)
      text += Pad(line[c], width[c], RightAligned(c)) + "  ";
    text += line[kColumns - 1];
    while (!text.empty() && text.back() == ' ') text.pop_back();
    out += text + "\n";
  }
  return out;
}

}  // namespace tovrin
