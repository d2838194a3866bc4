// The Prometheus text format: per family a # HELP and a # TYPE line, then
// its samples; every line ends with "\n".
#include <charconv>
#include <cmath>
#include <map>

#include "web/status_documents.h"
#include "web/text_escape.h"

namespace tovrin::web {
namespace {

std::string Value(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "+Inf" : "-Inf";
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
  return std::string(buffer, result.ptr);
}

// A label value: valid UTF-8 with \, " and line feeds escaped.
std::string LabelValue(const std::string& text) {
  std::string out;
  for (char c : ValidUtf8(text)) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '"')
      out += "\\\"";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

void Family(std::string& out, const char* name, const char* type, const char* help) {
  out += std::string("# HELP ") + name + " " + help + "\n";
  out += std::string("# TYPE ") + name + " " + type + "\n";
}

void Sample(std::string& out, const std::string& name, const std::string& labels,
            const std::string& value) {
  out += name;
  if (!labels.empty()) out += "{" + labels + "}";
  out += " " + value + "\n";
}

std::string Label(const char* name, const std::string& value) {
  return std::string(name) + "=\"" + LabelValue(value) + "\"";
}

void Results(std::string& out, const PollerState& p) {
  // The usual results from the start, so that a rate over them needs no first sighting.
  std::map<std::string, uint64_t> results = {{"finished", 0}, {"aborted", 0},    {"rejected", 0},
                                             {"failed", 0},   {"incomplete", 0}, {"lost", 0}};
  for (const auto& [result, count] : p.results) results[result] = count;
  Family(out, "tovrin_drawings_total", "counter",
         "Drawings ended since the program started, by their history result.");
  for (const auto& [result, count] : results)
    Sample(out, "tovrin_drawings_total", Label("result", result), std::to_string(count));
}

void Waiting(std::string& out, const PollerState& p) {
  std::map<std::string, uint64_t> by_why;
  for (const char* why : {"settling", "incomplete", "with_spooler", "held", "lost", "failed"})
    by_why[why] = 0;
  for (const WaitingDrawing& w : p.waiting) ++by_why[WhyCode(w.why)];
  Family(out, "tovrin_drawings_waiting", "gauge",
         "Drawings in the OFI folder not plotted at the last listing, by why.");
  for (const auto& [why, count] : by_why)
    Sample(out, "tovrin_drawings_waiting", Label("why", why), std::to_string(count));
}

void Latency(std::string& out, const Histogram& h) {
  const std::string name = "tovrin_queued_latency_seconds";
  Family(out, name.c_str(), "histogram",
         "Seconds from a drawing's writer closing it to its GLF kept or its CUPS job accepted.");
  for (size_t i = 0; i < h.bounds.size() && i < h.counts.size(); ++i)
    Sample(out, name + "_bucket", Label("le", Value(h.bounds[i])), std::to_string(h.counts[i]));
  Sample(out, name + "_bucket", Label("le", "+Inf"), std::to_string(h.count));
  Sample(out, name + "_sum", {}, Value(h.sum));
  Sample(out, name + "_count", {}, std::to_string(h.count));
}

}  // namespace

std::string MetricsText(const PollerState& p) {
  std::string out;
  Results(out, p);
  Family(out, "tovrin_translated_bytes_total", "counter",
         "OFI bytes read into GLF files since the program started.");
  Sample(out, "tovrin_translated_bytes_total", {}, std::to_string(p.bytes_translated));
  Family(out, "tovrin_deliveries_waiting", "gauge", "Deliveries CUPS has not reported completed.");
  Sample(out, "tovrin_deliveries_waiting", {}, std::to_string(p.deliveries_waiting));
  Waiting(out, p);
  Family(out, "tovrin_last_listing_timestamp_seconds", "gauge",
         "When the OFI folder was last listed, in seconds since the epoch (0: not yet).");
  Sample(out, "tovrin_last_listing_timestamp_seconds", {}, Value(p.last_listing));
  Family(out, "tovrin_history_up", "gauge",
         "1 while the job history works; 0 while nothing is plotted for its fault.");
  Sample(out, "tovrin_history_up", {}, p.history_fault.empty() ? "1" : "0");
  Latency(out, p.queued_latency);
  return out;
}

}  // namespace tovrin::web
