// The documents the status server sends: the page, its JSON and the metrics.
#pragma once

#include <string>
#include <vector>

#include "history/job_history.h"
#include "job/status_board.h"
#include "web/status_view.h"

namespace tovrin::web {

// The page; its one script carries `nonce`, which the response's content
// security policy names, so that nothing else on the page can run.
std::string StatusPage(const StatusView& view, const std::string& nonce);

// /api/status: the poller, the history's health and the drawings waiting.
std::string StatusJson(const StatusView& view);

// /api/history: `rows` newest first; `error` when the history could not be read.
std::string HistoryJson(const std::vector<HistoryRow>& rows, HistoryReader::Outcome outcome,
                        const std::string& error);

// /metrics in the Prometheus text format (version 0.0.4).
std::string MetricsText(const PollerState& poller);
inline constexpr const char* kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

}  // namespace tovrin::web
