// What the status server answers, on cpp-httplib's routes.
#pragma once

#include <httplib.h>

#include "web/status_view.h"

namespace tovrin::web {

inline constexpr int kDefaultApiRows = 50;
inline constexpr int kMaxApiRows = 1000;

// GET and HEAD only: /, /api/status, /api/history, /metrics and the
// pictures of the drawings listed, /preview/NAME.png.
void InstallRoutes(httplib::Server& server, StatusSource& source, const StatusBoard& board);

}  // namespace tovrin::web
