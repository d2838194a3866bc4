// The job history as text: the table `tovrin-batch --history` prints.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "history/job_history.h"

namespace tovrin {

// Rows in the order given (Last gives newest last), one line each under a
// heading line, columns padded to their widest cell in terminal columns
// (full-width characters count two). The reason comes last, unpadded.
std::string FormatHistoryTable(const std::vector<HistoryRow>& rows);

// A row's result and its CUPS job state as the history window and the
// status page show them (Japanese); an unknown word as it is.
std::string ResultText(const std::string& result);
std::string CupsStateText(const std::string& state);

// "YYYY-MM-DD HH:MM:SS" in local time; "-" for 0.
std::string FormatLocalTime(int64_t ms_since_epoch);

// Terminal columns of UTF-8 text: two for East Asian wide and full-width
// characters, one for the rest (half-width katakana included).
size_t DisplayWidth(const std::string& utf8);

}  // namespace tovrin
