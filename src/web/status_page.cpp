// The status page: plain HTML with its style and one small script inline
// (nothing is loaded from elsewhere). Every text from a drawing or the
// spooler goes through EscapeHtml.
#include "history/history_table.h"
#include "web/status_documents.h"
#include "web/status_labels.h"
#include "web/text_escape.h"
#include "web/web_texts.h"

namespace tovrin::web {
namespace {

constexpr const char* kStyle = R"(
body{font-family:"IPAPGothic","IPAGothic",sans-serif;margin:0;padding:0 .6em;color:#222;background:#fafafa}
header{display:flex;flex-wrap:wrap;align-items:baseline;gap:.2em 1em}
h1{font-size:1.3em;margin:.5em 0}h2{font-size:1.1em;margin:1em 0 .3em}
#offline{background:#fdd;padding:.3em .6em}
dl{display:grid;grid-template-columns:max-content 1fr;gap:.15em .8em;margin:0}
dt{color:#555}dd{margin:0;overflow-wrap:anywhere}
.scroll{overflow-x:auto;-webkit-overflow-scrolling:touch;border:1px solid #ccc;background:#fff}
table{border-collapse:collapse;font-size:.9em}
th,td{padding:.25em .5em;border-bottom:1px solid #e4e4e4;text-align:left;white-space:nowrap;vertical-align:top}
th{background:#eee;position:sticky;top:0}
td.num{text-align:right}td.reason{white-space:normal;min-width:12em}
td.pic img{max-width:96px;max-height:64px;background:#fff;border:1px solid #ccc}
.bad{color:#b00000;font-weight:bold}.wait{color:#8a5a00}.ok{color:#006400}
@media (max-width:640px){
#history table,#history tbody,#history tr,#history td{display:block}
#history thead{display:none}
#history tr{border-bottom:2px solid #bbb;padding:.3em 0}
#history td{border:0;white-space:normal;padding:.1em .5em;text-align:left}
#history td::before{content:attr(data-label);color:#666;display:inline-block;min-width:5.5em}
#history td:empty{display:none}
#history td.pic::before{content:none}
}
)";

// Every 5 s the page fetches itself and swaps in the new #live part; the
// markup it swaps in is the server's, escaped like the first.
constexpr const char* kScript = R"(
(function(){
  function refresh(){
    fetch(location.pathname,{cache:"no-store"}).then(function(r){
      if(!r.ok)throw new Error(r.status);return r.text();
    }).then(function(text){
      var live=new DOMParser().parseFromString(text,"text/html").getElementById("live");
      if(live)document.getElementById("live").replaceWith(document.adoptNode(live));
      document.getElementById("offline").hidden=true;
    }).catch(function(){
      document.getElementById("offline").hidden=false;
    }).finally(function(){setTimeout(refresh,5000);});
  }
  setTimeout(refresh,5000);
})();
)";

std::string H(const std::string& text) { return EscapeHtml(text); }

std::string Time(double seconds) {
  return seconds > 0 ? FormatLocalTime(static_cast<int64_t>(seconds * 1000)) : texts::kNotYet;
}

// A class name from a code of ours: only letters and "_" pass.
std::string ClassOf(const std::string& code) {
  std::string out;
  for (char c : code)
    if ((c >= 'a' && c <= 'z') || c == '_') out += c;
  return out;
}

const char* ResultClass(const std::string& result) {
  if (result == "finished") return "ok";
  if (result == "sending" || result == "delivering" || result == "plotting") return "wait";
  return "bad";
}

void Item(std::string& out, const char* term, const std::string& html, const char* id = "") {
  out += std::string("<dt>") + term + "</dt><dd id=\"" + id + "\">" + html + "</dd>\n";
}

std::string HistoryHealth(const StatusView& view) {
  if (!view.poller.history_fault.empty())
    return std::string("<span class=\"bad\">") + texts::kHistoryFault +
           H(view.poller.history_fault) + "</span>";
  switch (view.history) {
    case HistoryReader::Outcome::Read:
      return std::string("<span class=\"ok\">") + texts::kHistoryOk + "</span>";
    case HistoryReader::Outcome::NoHistory: return texts::kNoHistory;
    case HistoryReader::Outcome::Failed: break;
  }
  return std::string("<span class=\"bad\">") + texts::kCannotOpen + H(view.history_error) +
         "</span>";
}

void Poller(std::string& out, const StatusView& view) {
  const PollerState& p = view.poller;
  out += std::string("<section id=\"poller\"><h2>") + texts::kPollerTitle + "</h2><dl>\n";
  Item(out, texts::kOfiFolder, H(p.ofi_folder), "ofi-folder");
  Item(out, texts::kStartFolder, H(p.start_folder));
  Item(out, texts::kPrinter, p.printer.empty() ? texts::kDefaultPrinter : H(p.printer), "printer");
  Item(out, texts::kStarted, Time(p.started));
  Item(out, texts::kLastListing, Time(p.last_listing), "last-listing");
  Item(out, texts::kNextListing, Time(p.next_listing), "next-listing");
  Item(out, texts::kHistoryHealth, HistoryHealth(view), "history-health");
  Item(out, texts::kLastDrawing,
       p.last_drawing.empty() ? texts::kNotYet
                              : H(p.last_drawing) + " " + H(ResultLabel(p.last_result)));
  out += "</dl></section>\n";
}

void Waiting(std::string& out, const StatusView& view) {
  out += std::string("<section id=\"waiting\"><h2>") + texts::kWaitingTitle + " (" +
         std::to_string(view.waiting.size() + view.waiting_left_off) + texts::kRows + ")</h2>\n";
  if (view.waiting.empty()) {
    out += std::string("<p>") + texts::kNothingWaiting + "</p></section>\n";
    return;
  }
  out += "<div class=\"scroll\"><table><thead><tr>";
  for (const char* h : texts::kWaitingHeadings) out += std::string("<th>") + h + "</th>";
  out += "</tr></thead><tbody>\n";
  for (const WaitingEntry& w : view.waiting) {
    out += "<tr class=\"why-" + ClassOf(w.why) + "\"><td class=\"file\">" + H(w.name) +
           "</td><td class=\"why\">" + H(WhyLabel(w.why)) + "</td><td class=\"reason\">" +
           H(w.detail) + "</td></tr>\n";
  }
  out += "</tbody></table></div></section>\n";
}

// A cell with its heading as a label, shown beside it where the rows stack.
std::string Cell(size_t column, const char* cls, const std::string& html) {
  return std::string("<td class=\"") + cls + "\" data-label=\"" + texts::kHeadings[column] + "\">" +
         html + "</td>";
}

std::string Picture(const ShownRow& shown) {
  if (shown.preview_url.empty()) return {};
  const std::string url = H(shown.preview_url);
  return "<a href=\"" + url + "\"><img loading=\"lazy\" alt=\"\" src=\"" + url + "\"></a>";
}

std::string Row(const ShownRow& shown) {
  const HistoryRow& r = shown.row;
  const std::string result = std::string("result ") + ResultClass(r.result);
  return "<tr>" + Cell(0, "pic", Picture(shown)) + Cell(1, "start", FormatLocalTime(r.started_ms)) +
         Cell(2, "end", FormatLocalTime(r.ended_ms)) + Cell(3, "file", H(r.drawing.name)) +
         Cell(4, "header", H(r.header)) + Cell(5, "num", std::to_string(r.drawing.size)) +
         Cell(6, "num", std::to_string(r.glf_bytes)) +
         Cell(7, result.c_str(), H(ResultLabel(r.result))) + Cell(8, "printer", H(r.printer)) +
         Cell(9, "num", r.cups_job_id ? std::to_string(r.cups_job_id) : std::string()) +
         Cell(10, "state", H(CupsStateLabel(r.cups_state))) + Cell(11, "reason", H(r.reason)) +
         "</tr>\n";
}

void History(std::string& out, const StatusView& view) {
  out += std::string("<section id=\"history\"><h2>") + texts::kHistoryTitle + " (" +
         std::to_string(view.rows.size()) + texts::kRows + ")</h2>\n";
  out += "<div class=\"scroll\"><table><thead><tr>";
  for (const char* h : texts::kHeadings) out += std::string("<th>") + h + "</th>";
  out += "</tr></thead><tbody>\n";
  for (const ShownRow& shown : view.rows) out += Row(shown);
  out += "</tbody></table></div></section>\n";
}

}  // namespace

std::string StatusPage(const StatusView& view, const std::string& nonce) {
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<title>" +
      std::string(texts::kTitle) +
      " - Tovrin</title>\n"
      "<style nonce=\"" +
      nonce + "\">" + kStyle +
      "</style></head><body>\n"
      "<header><h1>" +
      texts::kTitle +
      "</h1></header>\n"
      "<p id=\"offline\" hidden>" +
      texts::kOffline +
      "</p>\n<main id=\"live\">\n"
      "<p id=\"updated\">" +
      texts::kUpdated + Time(view.generated) + "</p>\n";
  Poller(out, view);
  Waiting(out, view);
  History(out, view);
  out += "</main>\n<script nonce=\"" + nonce + "\">" + kScript + "</script>\n</body></html>\n";
  return out;
}

}  // namespace tovrin::web
