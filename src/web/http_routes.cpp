#include "web/http_routes.h"

#include <unistd.h>

#include <algorithm>
#include <random>

#include "web/preview_files.h"
#include "web/status_documents.h"

namespace tovrin::web {
namespace {

// Sent with every answer: nothing is framed, sniffed or loaded from elsewhere.
void Guard(httplib::Response& res, const std::string& policy = "default-src 'none'") {
  res.set_header("Content-Security-Policy", policy +
                                                "; base-uri 'none'; form-action 'none';"
                                                " frame-ancestors 'none'");
  res.set_header("X-Content-Type-Options", "nosniff");
  res.set_header("Referrer-Policy", "no-referrer");
  if (!res.has_header("Cache-Control")) res.set_header("Cache-Control", "no-store");
}

void Text(httplib::Response& res, int status, const std::string& text) {
  res.status = status;
  res.set_content(text + "\n", "text/plain; charset=utf-8");
}

std::string Nonce() {
  std::random_device random;
  static constexpr char kHex[] = "0123456789abcdef";
  std::string nonce;
  for (int i = 0; i < 16; ++i) {
    const unsigned byte = random() & 0xFF;
    nonce += kHex[byte >> 4];
    nonce += kHex[byte & 0xF];
  }
  return nonce;
}

void Page(StatusSource& source, httplib::Response& res) {
  const std::string nonce = Nonce();
  res.set_content(StatusPage(*source.View(), nonce), "text/html; charset=utf-8");
  Guard(res, "default-src 'none'; img-src 'self'; connect-src 'self'; script-src 'nonce-" + nonce +
                 "'; style-src 'nonce-" + nonce + "'");
}

std::optional<int> Limit(const httplib::Request& req) {
  if (!req.has_param("limit")) return kDefaultApiRows;
  const std::string text = req.get_param_value("limit");
  if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  const int limit = std::stoi(text);
  if (limit < 1 || limit > kMaxApiRows) return std::nullopt;
  return limit;
}

std::optional<RowFilter> Filter(const httplib::Request& req) {
  const std::string result = req.has_param("result") ? req.get_param_value("result") : "all";
  if (result == "all") return RowFilter::All;
  if (result == "failed") return RowFilter::Failed;
  if (result == "waiting") return RowFilter::Waiting;
  return std::nullopt;
}

void History(StatusSource& source, const httplib::Request& req, httplib::Response& res) {
  const std::optional<int> limit = Limit(req);
  const std::optional<RowFilter> filter = Filter(req);
  if (!limit || !filter)
    return Text(res, 400,
                "limit: a whole number from 1 to " + std::to_string(kMaxApiRows) +
                    "; result: all, failed or waiting");
  const auto read = source.Rows(*limit, *filter);
  res.set_content(HistoryJson(read->rows, read->outcome, read->error), "application/json");
}

// Only the picture of a drawing the page lists, by its exact name, as a
// plain file of the preview folder itself.
void Picture(StatusSource& source, const httplib::Request& req, httplib::Response& res) {
  const std::string name = req.matches[1];
  const auto& folder = source.PreviewFolder();
  OpenedPicture picture;
  if (!folder || source.View()->pictures.count(name) == 0 || !OpenPicture(*folder, name, picture))
    return Text(res, 404, "no such picture");
  const int fd = picture.fd;
  res.set_header("Cache-Control", "max-age=3600");  // its address changes with the picture
  res.set_content_provider(
      picture.size, "image/png",
      [fd](size_t offset, size_t length, httplib::DataSink& sink) {
        char buffer[64 * 1024];
        const ssize_t n =
            ::pread(fd, buffer, std::min(length, sizeof buffer), static_cast<off_t>(offset));
        if (n <= 0) return false;  // cut short meanwhile: the connection ends
        return sink.write(buffer, static_cast<size_t>(n));
      },
      [fd](bool) { ::close(fd); });
}

}  // namespace

void InstallRoutes(httplib::Server& server, StatusSource& source, const StatusBoard& board) {
  server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
    if (req.method == "GET" || req.method == "HEAD")
      return httplib::Server::HandlerResponse::Unhandled;
    res.set_header("Allow", "GET, HEAD");
    Text(res, 405, "only GET and HEAD");
    Guard(res);
    return httplib::Server::HandlerResponse::Handled;
  });
  server.Get("/",
             [&source](const httplib::Request&, httplib::Response& res) { Page(source, res); });
  server.Get("/api/status", [&source](const httplib::Request&, httplib::Response& res) {
    res.set_content(StatusJson(*source.View()), "application/json");
    Guard(res);
  });
  server.Get("/api/history", [&source](const httplib::Request& req, httplib::Response& res) {
    History(source, req, res);
    Guard(res);
  });
  server.Get("/metrics", [&board](const httplib::Request&, httplib::Response& res) {
    res.set_content(MetricsText(board.Snapshot()), kMetricsContentType);
    Guard(res);
  });
  server.Get(R"(/preview/([^/]+))", [&source](const httplib::Request& req, httplib::Response& res) {
    Picture(source, req, res);
    Guard(res);
  });
  server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.body.empty()) Text(res, res.status, std::to_string(res.status));
    if (!res.has_header("Content-Security-Policy")) Guard(res);
  });
}

}  // namespace tovrin::web
