#include "Server.h"

#include <cstdio>
#include <cstdlib>

#include <sys/socket.h>

#include <mirel_SbF/mirel_SbF.h>

#include "Assets.h"
#include "Render.h"

namespace sbf_web {
namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kJson = "application/json; charset=utf-8";

// What a request's answer tells the log besides its status, filled by the handler that
// answers it (on the thread that also writes the log line).
struct Record {
  std::string route;
  std::optional<int32_t> vehicles;
  std::optional<std::string> state;
  std::optional<int32_t> libraryError;
};
thread_local Record t_record;

// FNV-1a, 64 bits: a short, stable fingerprint for an ETag (not a secret).
std::string Fingerprint(const std::string& text) {
  uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
  char out[17];
  std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(hash));
  return out;
}

// Whether an If-None-Match header names `tag` (or is "*"); weak tags compare as strong ones.
bool Matches(const std::string& header, const std::string& tag) {
  size_t at = 0;
  while (at < header.size()) {
    const size_t end = std::min(header.find(',', at), header.size());
    std::string item = header.substr(at, end - at);
    item.erase(0, item.find_first_not_of(' '));
    item.erase(item.find_last_not_of(' ') + 1);
    if (item.rfind("W/", 0) == 0) item.erase(0, 2);
    if (item == "*" || item == tag) return true;
    at = end + 1;
  }
  return false;
}

// The language a refused request asked for, as far as its address arrived; 1 otherwise.
int32_t LanguageOf(const std::string& target) {
  const size_t query = target.find('?');
  if (query == std::string::npos) return 1;
  httplib::Params params;
  httplib::detail::parse_query_text(target.substr(query + 1), params);
  const auto lang = params.find("lang");
  if (lang == params.end()) return 1;
  const long value = std::strtol(lang->second.c_str(), nullptr, 10);
  return value > 0 && value < 100 ? static_cast<int32_t>(value) : 1;
}

}  // namespace

std::string RouteOf(const std::string& path) {
  for (const char* route : {"/", "/api/screen", "/api/openapi.json", "/healthz", "/readyz", "/metrics", "/favicon.ico"})
    if (path == route) return route;
  return "other";
}

WebServer::WebServer(Config config, ServerOptions options)
    : m_config(std::move(config)),
      m_options(std::move(options)),
      m_log(m_options.accessLog),
      m_server(m_options.limits, m_options.threads, [this](const Refused& r) { return Refusal(r); }) {
  // The answers also depend on the server's own settings and on this build of it.
  m_settings = m_config.specs + "|" + m_config.project + "|" + (m_config.counts ? "counts" : "plain") + "|" +
               std::to_string(m_config.maxLimit) + "|" + __DATE__ " " __TIME__ + "|";
  for (const auto& column : m_config.columns) m_settings += column + ",";
  // cpp-httplib sets SO_REUSEPORT by default, which lets a second server bind the same port
  // and take half of the requests. SO_REUSEADDR alone still allows a quick restart while
  // old connections linger, but a port in use is refused.
  m_server.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  m_server.set_payload_max_length(64 * 1024);  // the screen takes no body
  // What the answers' Keep-Alive header tells clients: the gate's own limits.
  m_server.set_keep_alive_max_count(m_options.limits.requestsPerConnection);
  m_server.set_keep_alive_timeout(m_options.limits.idleSeconds);
  m_server.set_default_headers({{"X-Content-Type-Options", "nosniff"}});
  m_server.set_logger([this](const httplib::Request& req, const httplib::Response& res) { Log(req, res); });
  AddRoutes();
}

int WebServer::Bind() {
  if (m_options.port == 0) return m_server.bind_to_any_port(m_options.bind);
  return m_server.bind_to_port(m_options.bind, m_options.port) ? m_options.port : -1;
}

bool WebServer::Listen() { return m_server.listen_after_bind(); }

void WebServer::WarmUp() {
  const mirel_base::ReadScope oneVersion;
  BuildScreen(m_config, {});
  m_ready = true;
}

bool WebServer::Drain() { return m_server.Drain(std::chrono::seconds(m_options.drainSeconds)); }

std::string WebServer::TagOf(const httplib::Request& req) const {
  const std::string version = mirel_base::DataVersion(m_config.connection, {m_config.specs, m_config.project});
  if (version.empty()) return "";
  return std::string("\"").append(Fingerprint(version + "\n" + m_settings + "\n" + req.target)).append("\"");
}

void WebServer::Answer(const httplib::Request& req, httplib::Response& res, bool json) {
  const char* type = json ? kJson : kHtml;
  // The tag is of the data as it is before the screen is read: a change meanwhile gives the
  // next request another tag, never this one for newer data.
  const std::string tag = TagOf(req);
  if (!tag.empty() && Matches(req.get_header_value("If-None-Match"), tag)) {
    res.status = 304;
    res.set_header("ETag", tag);
    res.set_header("Cache-Control", "public, no-cache");
    return;
  }
  try {
    const Request request = ParseRequest(req);
    t_record.state = request.params.state;
    if (!json && request.change.kind != Change::None) {
      // The address bar then shows the new screen's own URL, to reload or share; the
      // screen itself is built by the request that follows.
      res.set_redirect("/?" + QueryOf(ApplyRequest(m_config, request)), 303);
      res.set_header("Cache-Control", "no-store");
      return;
    }
    const Screen screen = BuildScreen(m_config, request);
    t_record.vehicles = screen.count;
    t_record.state = screen.params.state;
    res.status = 200;
    if (!tag.empty()) res.set_header("ETag", tag);
    res.set_header("Cache-Control", tag.empty() ? "no-cache" : "public, no-cache");
    res.set_content(json ? RenderJson(screen) : RenderHtml(screen), type);
  } catch (const RequestError& e) {
    if (e.library) t_record.libraryError = e.number;
    res.status = e.status;
    res.set_header("Cache-Control", "no-store");
    res.set_content(json ? RenderJsonError(e) : RenderHtmlError(e), type);
  } catch (const std::exception& e) {
    const RequestError error(std::string("internal error: ") + e.what(), 500);
    res.status = 500;
    res.set_header("Cache-Control", "no-store");
    res.set_content(json ? RenderJsonError(error) : RenderHtmlError(error), type);
  }
}

void WebServer::AddRoutes() {
  m_server.Get("/", [this](const httplib::Request& req, httplib::Response& res) { Answer(req, res, false); });
  m_server.Get("/api/screen", [this](const httplib::Request& req, httplib::Response& res) { Answer(req, res, true); });
  m_server.Get("/api/openapi.json", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "public, max-age=3600");
    res.set_content(std::string(assets::kOpenApi), kJson);
  });
  m_server.Get("/healthz", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_content("ok\n", "text/plain; charset=utf-8");
  });
  m_server.Get("/readyz", [this](const httplib::Request&, httplib::Response& res) {
    res.status = Ready() ? 200 : 503;
    res.set_header("Cache-Control", "no-store");
    res.set_content(Ready() ? "ready\n" : m_server.Draining() ? "draining\n" : "starting\n", "text/plain; charset=utf-8");
  });
  m_server.Get("/metrics", [this](const httplib::Request&, httplib::Response& res) {
    m_metrics.Connections(static_cast<int64_t>(m_server.OpenConnections()));
    res.set_header("Cache-Control", "no-store");
    res.set_content(m_metrics.Text(Ready()), "text/plain; version=0.0.4; charset=utf-8");
  });
  // The page's icon: a small magnifier, so that browsers asking for it get no error.
  m_server.Get("/favicon.ico", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "public, max-age=86400");
    res.set_content(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 16 16\"><circle cx=\"6.5\" cy=\"6.5\" r=\"4.5\" "
        "fill=\"none\" stroke=\"#0b5cad\" stroke-width=\"2\"/><path d=\"M10 10l4.5 4.5\" stroke=\"#0b5cad\" "
        "stroke-width=\"2.5\"/></svg>",
        "image/svg+xml");
  });
  m_server.Get(R"(/api/.*)", [](const httplib::Request& req, httplib::Response& res) {
    res.status = 404;
    res.set_content(RenderJsonNotFound(req.path), kJson);
  });
  m_server.Get(R"(.*)", [](const httplib::Request& req, httplib::Response& res) {
    res.status = 404;
    res.set_content(RenderHtmlNotFound(req.path), kHtml);
  });
}

void WebServer::Log(const httplib::Request& req, const httplib::Response& res) {
  const double seconds = GatedServer::SecondsSinceHead();
  const std::string route = RouteOf(req.path);
  m_metrics.Request(route, res.status, seconds);
  if (t_record.libraryError) m_metrics.LibraryError(*t_record.libraryError);
  LogEntry entry;
  entry.method = req.method;
  entry.route = route;
  entry.remote = req.remote_addr;
  entry.status = res.status;
  entry.milliseconds = seconds * 1000;
  entry.bytes = res.body.size();
  entry.vehicles = t_record.vehicles;
  entry.state = t_record.state;
  entry.libraryError = t_record.libraryError;
  m_log.Write(entry);
  t_record = Record{};
}

std::pair<std::string, std::string> WebServer::Refusal(const Refused& refused) {
  const std::string path = refused.target.substr(0, refused.target.find('?'));
  const bool api = path.rfind("/api/", 0) == 0;
  std::pair<std::string, std::string> answer = {
      api ? kJson : kHtml, api ? RenderJsonRefused(refused.status) : RenderHtmlRefused(refused.status, LanguageOf(refused.target))};
  m_metrics.Request(RouteOf(path), refused.status, 0);
  LogEntry entry;
  entry.method = refused.method;
  entry.route = RouteOf(path);
  entry.remote = refused.remote;
  entry.status = refused.status;
  entry.bytes = answer.second.size();
  m_log.Write(entry);
  return answer;
}

}  // namespace sbf_web
