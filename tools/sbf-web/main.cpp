// sbf-web: the search screen in a browser. A stateless HTTP server: every request builds its
// own Search from the address alone (see Screen.h), so any URL of a screen can be reloaded
// or shared; Server.h lists the routes.
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <thread>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <mirel_SbF/mirel_SbF.h>

#include "Json.h"
#include "Options.h"
#include "Server.h"

namespace {

struct Options {
  std::optional<int> port;
  sbf_host::DataOptions data;
  std::string columns;
  bool noCounts = false;
  sbf_web::ServerOptions server;
  bool help = false;
};

const char* const kUsage = R"(usage: sbf-web --port N [--data DIR | --connection TEXT] [options]

  --port N            port to listen on (0: any free port; the address is printed)
  --bind ADDRESS      address to listen on (default 127.0.0.1, this machine only;
                      0.0.0.0 for every IPv4 address, :: for every address)
  --threads N         requests answered at once (default 8); connections waiting
                      for their request hold no thread
  --access-log FILE   one JSON line per request, appended to FILE (default stderr)
  --drain-seconds N   on SIGTERM or SIGINT: how long requests already begun may take
                      to finish before the server exits (default 10)
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
offset page through the vehicles);  /api/openapi.json  its description;
/healthz, /readyz, /metrics  for load balancers and monitoring.
Limits: a request line of 8 kB (414), a head of 16 kB (431), 10 s from a request's
first byte to its end (408), 5 s idle between requests, 10 s to send an answer.
Exit status: 0 stopped by a signal, 2 the data cannot be read (a missing data folder
too) or the address cannot be used (e.g. another server has the port), 64 a bad
command line (as sbf's).
)";

using sbf_host::DataError;
using sbf_host::UsageError;

Options ParseOptions(int argc, char** argv) {
  Options o;
  CLI::App app("sbf-web", "sbf-web");
  app.set_help_flag("-h,--help");
  app.add_option("--port", o.port)->required()->check(sbf_host::PortNumber());
  app.add_option("--bind", o.server.bind);
  app.add_option("--threads", o.server.threads)->check(sbf_host::NumberIn("a number of threads (1 to 1024)", 1, 1024));
  app.add_option("--access-log", o.server.accessLog);
  app.add_option("--drain-seconds", o.server.drainSeconds)->check(sbf_host::NumberIn("a number of seconds (0 to 3600)", 0, 3600));
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
  if (o.port) o.server.port = *o.port;
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

// Without a usable index file a new process builds every item's vehicle sets from the
// equipment table, which a large database makes slow; the operator is told why once, at the
// start (the embedded engine only: a server's connection has no index file).
void NoteIndexFile(const sbf_web::Config& config) {
  try {
    const std::string why = mirel_base::CheckIndexFile(config.specs, config.connection);
    if (!why.empty()) std::cerr << "sbf-web: " << why << std::endl;
  } catch (const mirel_SbF::Error&) {
  }
}

// The exit status of a server that listened: SIGTERM or SIGINT drains it (0); a first
// screen that cannot be built stops it (2).
int Serve(sbf_web::WebServer& server, const sbf_web::Config& config, const sigset_t& stopSignals) {
  std::atomic<int> status{0};
  // The first screen, once, while the server already answers /healthz and /readyz (503).
  std::thread warmUp([&] {
    try {
      NoteIndexFile(config);
      server.WarmUp();
    } catch (const sbf_web::RequestError& e) {
      std::cerr << "sbf-web: the data cannot be read: "
                << (e.library ? "error " + sbf_host::HexNumber(e.number) + " " : std::string()) << "(" << e.source
                << "): " << e.description << std::endl;
      status = sbf_host::kExitLibrary;
      kill(getpid(), SIGTERM);
    }
  });
  bool drained = true;
  std::thread stopper([&] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    drained = server.Drain();
  });
  const bool ok = server.Listen();
  // Wakes the stopper when listening ended for another reason (the signal stays
  // blocked, so it only reaches sigwait).
  kill(getpid(), SIGTERM);
  stopper.join();
  warmUp.join();
  std::cout << "sbf-web: stopped" << (drained ? "" : " (requests still running were cut off)") << std::endl;
  if (!drained) std::_Exit(status);  // the workers still busy are not waited for
  return ok ? status.load() : sbf_host::kExitLibrary;
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
  // SIGINT and SIGTERM stop the server from a thread of their own; blocked before any
  // other thread starts so that none of the server's threads takes them. A client that
  // goes away while it is answered raises no SIGPIPE.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  try {
    sbf_web::WebServer server(config, options.server);
    const int port = server.Bind();
    if (port < 0) {
      std::cerr << "sbf-web: cannot listen on " << options.server.bind << ":" << options.server.port
                << " (the port is in use, or the address is not this machine's)\n";
      return sbf_host::kExitLibrary;
    }
    const bool v6 = options.server.bind.find(':') != std::string::npos;
    std::cout << "sbf-web: listening on http://" << (v6 ? "[" : "") << options.server.bind << (v6 ? "]" : "") << ":"
              << port << "/" << std::endl;
    return Serve(server, config, stopSignals);
  } catch (const std::runtime_error& e) {
    std::cerr << "sbf-web: " << e.what() << "\n";
    return sbf_host::kExitLibrary;
  }
}
