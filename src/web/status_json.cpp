#include "web/json_writer.h"
#include "web/status_documents.h"

namespace tovrin::web {
namespace {

const char* OutcomeCode(HistoryReader::Outcome outcome) {
  switch (outcome) {
    case HistoryReader::Outcome::Read: return "ok";
    case HistoryReader::Outcome::NoHistory: return "none";
    case HistoryReader::Outcome::Failed: return "failed";
  }
  return "failed";
}

// How the page's own read of the history went.
void WriteHistoryRead(JsonWriter& json, HistoryReader::Outcome outcome, const std::string& error) {
  json.Key("history").BeginObject();
  json.Field("read", OutcomeCode(outcome)).Field("error", error);
  json.EndObject();
}

void WritePoller(JsonWriter& json, const PollerState& p) {
  json.Key("poller").BeginObject();
  json.Field("start_folder", p.start_folder).Field("ofi_folder", p.ofi_folder);
  json.Field("printer", p.printer);
  json.Field("started", p.started).Field("last_listing", p.last_listing);
  json.Field("next_listing", p.next_listing);
  json.Field("last_drawing", p.last_drawing).Field("last_result", p.last_result);
  // The job's own word on its history: while set, nothing is plotted.
  json.Field("history_fault", p.history_fault);
  json.Key("results").BeginObject();
  for (const auto& [result, count] : p.results) json.Field(result, count);
  json.EndObject();
  json.Field("bytes_translated", p.bytes_translated);
  json.Field("deliveries_waiting", p.deliveries_waiting);
  json.EndObject();
}

void WriteRow(JsonWriter& json, const HistoryRow& r) {
  json.BeginObject();
  json.Field("id", r.id).Field("job", r.job);
  json.Field("started_ms", r.started_ms).Field("ended_ms", r.ended_ms);
  json.Field("folder", r.drawing.folder).Field("name", r.drawing.name);
  json.Field("size", r.drawing.size).Field("header", r.header);
  json.Field("glf_bytes", r.glf_bytes).Field("result", r.result).Field("reason", r.reason);
  json.Field("printer", r.printer).Field("cups_job_id", r.cups_job_id);
  json.Field("cups_job_uuid", r.cups_job_uuid).Field("cups_state", r.cups_state);
  json.EndObject();
}

}  // namespace

std::string StatusJson(const StatusView& view) {
  JsonWriter json;
  json.BeginObject();
  json.Field("generated", view.generated);
  WritePoller(json, view.poller);
  WriteHistoryRead(json, view.history, view.history_error);
  json.Key("waiting").BeginArray();
  for (const WaitingEntry& w : view.waiting) {
    json.BeginObject().Field("name", w.name).Field("why", w.why).Field("detail", w.detail);
    json.Field("source", w.from_history ? "history" : "poller").EndObject();
  }
  json.EndArray();
  json.Field("waiting_left_off", static_cast<uint64_t>(view.waiting_left_off));
  json.EndObject();
  return json.Text();
}

std::string HistoryJson(const std::vector<HistoryRow>& rows, HistoryReader::Outcome outcome,
                        const std::string& error) {
  JsonWriter json;
  json.BeginObject();
  WriteHistoryRead(json, outcome, error);
  json.Key("rows").BeginArray();
  for (const HistoryRow& r : rows) WriteRow(json, r);
  json.EndArray();
  json.EndObject();
  return json.Text();
}

}  // namespace tovrin::web
