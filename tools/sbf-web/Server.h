// The web host as a server: its routes over the gate (Gate.h), caching headers, health and
// readiness, metrics and the access log.
//
//   GET /                  the screen as HTML (a change answers 303 with the new screen's URL)
//   GET /api/screen        the same screen as JSON
//   GET /api/openapi.json  the OpenAPI 3.1 description of the API
//   GET /healthz           200 while the process answers
//   GET /readyz            200 once the first screen was answered, 503 before and while draining
//   GET /metrics           Prometheus's text format (Metrics.h)
//
// Every screen is a pure function of its address and the data, so each answer carries an
// ETag made of the data's version (mirel_base::DataVersion), the server's settings and the
// address, with "Cache-Control: public, no-cache": a cache may keep it and asks again each
// time, and a request whose If-None-Match holds the tag gets 304 without a screen being built.
// A database file renamed over or written gives new tags at once. Engines whose version
// cannot be told (database servers) get no tag.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

#include "AccessLog.h"
#include "Gate.h"
#include "Metrics.h"
#include "Screen.h"

namespace sbf_web {

struct ServerOptions {
  std::string bind = "127.0.0.1";
  int port = 0;                // 0: any free port
  size_t threads = 8;          // workers answering requests
  std::string accessLog;       // empty: stderr
  int drainSeconds = 10;       // how long a stop waits for requests already begun
  Limits limits;
};

class WebServer {
 public:
  // Throws std::runtime_error when the access log cannot be opened.
  WebServer(Config config, ServerOptions options);

  // Binds the address: the port (the one chosen for port 0), or -1 when it cannot be used.
  int Bind();
  // Answers requests until Drain; false when listening failed.
  bool Listen();
  // Builds the first screen once (the data is read, the engine warmed), then the server is
  // ready. Throws RequestError when the data cannot be read.
  void WarmUp();
  // Readiness off, no new connections, requests already begun answered; true when all were
  // within ServerOptions::drainSeconds.
  bool Drain();

  bool Ready() const { return m_ready && !m_server.Draining(); }

 private:
  void AddRoutes();
  void Answer(const httplib::Request& req, httplib::Response& res, bool json);
  std::string TagOf(const httplib::Request& req) const;
  void Log(const httplib::Request& req, const httplib::Response& res);
  std::pair<std::string, std::string> Refusal(const Refused& refused);

  Config m_config;
  ServerOptions m_options;
  std::string m_settings;  // what else the answers depend on, for the tags
  Metrics m_metrics;
  AccessLog m_log;
  GatedServer m_server;
  std::atomic<bool> m_ready{false};
};

// A route as metrics and the log name it: one of the paths above, or "other".
std::string RouteOf(const std::string& path);

}  // namespace sbf_web
