// sbf-web: the search screen in a browser. A stateless HTTP server on 127.0.0.1: every
// request builds its own Search from the address alone (see Screen.h), so any URL of a
// screen can be reloaded or shared.
//
//   GET /              the screen as HTML (a change answers 303 with the new screen's URL)
//   GET /api/screen    the same screen as JSON
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <pthread.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <httplib.h>

#include "Json.h"
#include "Render.h"
#include "Screen.h"
#include "Options.h"

namespace {

struct Options {
  std::optional<int> port;
  sbf_host::DataOptions data;
  std::string columns;
  bool noCounts = false;
  bool help = false;
};

const char* const kUsage = R"(usage: sbf-web --port N [--data DIR | --connection TEXT] [options]

  --port N            port on 127.0.0.1 (0: any free port; the address is printed)
  --data DIR          folder with specs.db and prj.db (default data/sample)
  --connection TEXT   a whole connection string instead of --data (--conn is the same)
  --specs NAME        specifications database name (default specs)
  --project NAME      project database name (default prj)
  --columns LIST      version columns of the vehicle table
                      (default name,make,model,model_year,origin,price)
  --no-counts         no vehicle counts after the values and no greyed values:
                      fewer queries per screen, for large data
  -h, --help          this text

Pages: /  the search screen;  /api/screen  the same screen as JSON (limit and
offset page through the vehicles).
Exit status: 0 stopped by a signal, 2 the data cannot be read (a missing data folder
too) or the port cannot be used (e.g. another server has it), 64 a bad command line
(as sbf's).
)";

using sbf_host::DataError;
using sbf_host::UsageError;

Options ParseOptions(int argc, char** argv) {
  Options o;
  CLI::App app("sbf-web", "sbf-web");
  app.set_help_flag("-h,--help");
  app.add_option("--port", o.port)->required()->check(sbf_host::PortNumber());
  sbf_host::AddDataOptions(app, o.data);
  app.add_option("--columns", o.columns);
  app.add_flag("--no-counts", o.noCounts);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    o.help = true;
  } catch (const CLI::ParseError& e) {
    throw UsageError(sbf_host::UsageText(e));
  }
  return o;
}

sbf_web::Config MakeConfig(const Options& o) {
  sbf_web::Config config;
  config.specs = o.data.specs;
  config.project = o.data.project;
  config.counts = !o.noCounts;
  if (!o.columns.empty()) config.columns = sbf_host::ColumnList("--columns", o.columns);
  config.connection = sbf_host::ConnectionOf(o.data);
  return config;
}

void Answer(const sbf_web::Config& config, const httplib::Request& req, httplib::Response& res, bool json) {
  res.set_header("Cache-Control", "no-cache");
  res.set_header("X-Content-Type-Options", "nosniff");
  const char* type = json ? "application/json; charset=utf-8" : "text/html; charset=utf-8";
  try {
    const sbf_web::Request request = sbf_web::ParseRequest(req);
    if (!json && request.change.kind != sbf_web::Change::None) {
      // The address bar then shows the new screen's own URL, to reload or share; the
      // screen itself is built by the request that follows.
      res.set_redirect("/?" + sbf_web::QueryOf(sbf_web::ApplyRequest(config, request)), 303);
      return;
    }
    const sbf_web::Screen screen = sbf_web::BuildScreen(config, request);
    res.status = 200;
    res.set_content(json ? sbf_web::RenderJson(screen) : sbf_web::RenderHtml(screen), type);
  } catch (const sbf_web::RequestError& e) {
    res.status = e.status;
    res.set_content(json ? sbf_web::RenderJsonError(e) : sbf_web::RenderHtmlError(e), type);
  } catch (const std::exception& e) {
    sbf_web::RequestError error(std::string("internal error: ") + e.what(), 500);
    res.status = 500;
    res.set_content(json ? sbf_web::RenderJsonError(error) : sbf_web::RenderHtmlError(error), type);
  }
}

// The screen, its JSON, the icon and the pages for other paths.
void AddRoutes(httplib::Server& server, const sbf_web::Config& config) {
  server.Get("/", [&](const httplib::Request& req, httplib::Response& res) { Answer(config, req, res, false); });
  server.Get("/api/screen", [&](const httplib::Request& req, httplib::Response& res) { Answer(config, req, res, true); });
  // The page's icon: a small magnifier, so that browsers asking for it get no error.
  server.Get("/favicon.ico", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "max-age=86400");
    res.set_content(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 16 16\"><circle cx=\"6.5\" cy=\"6.5\" r=\"4.5\" "
        "fill=\"none\" stroke=\"#0b5cad\" stroke-width=\"2\"/><path d=\"M10 10l4.5 4.5\" stroke=\"#0b5cad\" "
        "stroke-width=\"2.5\"/></svg>",
        "image/svg+xml");
  });
  // An address longer than the server reads (cpp-httplib's limit) gets a page that says so.
  server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.status == 414) res.set_content(sbf_web::RenderHtmlTooLong(), "text/html; charset=utf-8");
  });
  server.Get(R"(/api/.*)", [](const httplib::Request& req, httplib::Response& res) {
    res.status = 404;
    res.set_content(sbf_web::RenderJsonNotFound(req.path), "application/json; charset=utf-8");
  });
  server.Get(R"(.*)", [](const httplib::Request& req, httplib::Response& res) {
    res.status = 404;
    res.set_content(sbf_web::RenderHtmlNotFound(req.path), "text/html; charset=utf-8");
  });
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  sbf_web::Config config;
  try {
    options = ParseOptions(argc, argv);
    if (options.help) {
      std::cout << kUsage;
      return 0;
    }
    config = MakeConfig(options);
  } catch (const UsageError& e) {
    std::cerr << "sbf-web: " << e.what() << "\n(sbf-web --help lists the options)\n";
    return sbf_host::kExitUsage;
  } catch (const DataError& e) {
    std::cerr << "sbf-web: " << e.what() << "\n";
    return sbf_host::kExitLibrary;
  }
  // The first screen, once: a server whose data cannot be read does not start.
  try {
    sbf_web::BuildScreen(config, {});
  } catch (const sbf_web::RequestError& e) {
    std::cerr << "sbf-web: the data cannot be read: "
              << (e.library ? "error " + sbf_host::HexNumber(e.number) + " " : std::string())
              << "(" << e.source << "): " << e.description << "\n";
    return sbf_host::kExitLibrary;
  }

  // SIGINT and SIGTERM stop the server from a thread of their own; blocked before any
  // other thread starts so that none of the server's threads takes them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  httplib::Server server;
  // cpp-httplib sets SO_REUSEPORT by default, which lets a second server bind the same port
  // and take half of the requests. SO_REUSEADDR alone still allows a quick restart while
  // old connections linger, but a port in use is refused.
  server.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  AddRoutes(server, config);

  const char* host = "127.0.0.1";
  int port = *options.port;
  if (port == 0) {
    port = server.bind_to_any_port(host);
  } else if (!server.bind_to_port(host, port)) {
    port = -1;
  }
  if (port < 0) {
    std::cerr << "sbf-web: cannot listen on " << host << ":" << *options.port
              << " (the port is in use or not allowed)\n";
    return sbf_host::kExitLibrary;
  }
  std::atomic<bool> signalled{false};
  std::thread stopper([&server, &signalled, stopSignals] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    signalled = true;
    server.stop();
  });
  std::cout << "sbf-web: listening on http://" << host << ":" << port << "/" << std::endl;
  const bool ok = server.listen_after_bind();
  // Wakes the stopper when listening ended for another reason (the signal stays
  // blocked, so it only reaches sigwait).
  if (!signalled) kill(getpid(), SIGTERM);
  stopper.join();
  std::cout << "sbf-web: stopped" << std::endl;
  return ok ? 0 : sbf_host::kExitLibrary;
}
