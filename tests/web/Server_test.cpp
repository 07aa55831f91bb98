// The web host as a server, through real sockets on the loopback address: health and
// readiness, caching headers and 304, new tags once a database file is replaced, the limits
// the gate answers itself (in the page's language, or as JSON from the API), stalled clients
// that hold no worker, the access log and metrics, and a drain that finishes what has begun.
// (The API's answers against its OpenAPI description: openapi.mjs; under load: bench/.)
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "Server.h"
#include "support/SampleData.h"

namespace {

namespace fs = std::filesystem;

// A copy of the sample that a test may change.
std::string CopyOfSample(const std::string& name) {
  const std::string folder = mirel_test::MakeTempFolder(name);
  for (const char* file : {"/specs.db", "/prj.db"}) fs::copy_file(mirel_test::SampleFolder() + file, folder + file);
  return folder;
}

// A server on a free port of 127.0.0.1, listening on a thread of its own until the test ends.
struct Running {
  explicit Running(const std::string& folder, sbf_web::ServerOptions options = {}, bool warm = true,
                   const std::string& extra = "") {
    sbf_web::Config config;
    config.connection = "Provider=SQLite;Data Source=" + folder + extra;
    options.port = 0;
    server = std::make_unique<sbf_web::WebServer>(config, options);
    port = server->Bind();
    listener = std::thread([this] { server->Listen(); });
    if (warm) server->WarmUp();
  }
  ~Running() {
    server->Drain();
    listener.join();
  }
  httplib::Client Client() const {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(5, 0);
    return client;
  }
  std::unique_ptr<sbf_web::WebServer> server;
  int port = -1;
  std::thread listener;
};

// A raw connection, for what a client library would not send.
struct Socket {
  explicit Socket(int port) : fd(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~Socket() { ::close(fd); }
  void Send(const std::string& text) const { (void)!::send(fd, text.data(), text.size(), MSG_NOSIGNAL); }
  // Everything until the server closes the connection, or `seconds` pass.
  std::string ReadAll(int seconds = 5) const {
    std::string out;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    char buffer[4096];
    while (std::chrono::steady_clock::now() < end) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      out.append(buffer, static_cast<size_t>(n));
    }
    return out;
  }
  // Whether the server closes the connection (without a word) within `ms`.
  bool ClosedWithin(int ms) const {
    pollfd p{fd, POLLIN, 0};
    char byte = 0;
    return ::poll(&p, 1, ms) > 0 && ::recv(fd, &byte, 1, MSG_PEEK) == 0;
  }
  int fd;
  bool connected = false;
};

TEST(WebServer, HealthReadinessAndMetrics) {
  const std::string folder = CopyOfSample("web_health");
  Running running(folder, {}, false);
  httplib::Client client = running.Client();
  EXPECT_EQ(client.Get("/healthz")->status, 200);
  EXPECT_EQ(client.Get("/readyz")->status, 503);  // the first screen not built yet
  running.server->WarmUp();
  EXPECT_EQ(client.Get("/readyz")->status, 200);
  EXPECT_EQ(client.Get("/api/screen?state=x")->status, 400);
  EXPECT_EQ(client.Get("/nowhere")->status, 404);
  fs::remove(folder + "/prj.db");  // the engine's error, the server's failure, counted by its number
  EXPECT_EQ(client.Get("/api/screen")->status, 500);
  // The log line and the counts of an answer follow its last byte: a moment later they are in.
  std::string body;
  const char* const lines[] = {
      "\nsbf_web_requests_total{route=\"/readyz\",status=\"503\"} 1\n",
      "\nsbf_web_requests_total{route=\"/readyz\",status=\"200\"} 1\n",
      "\nsbf_web_requests_total{route=\"/api/screen\",status=\"400\"} 1\n",
      "\nsbf_web_requests_total{route=\"/api/screen\",status=\"500\"} 1\n",
      "\nsbf_web_library_errors_total{number=\"0x80004005\"} 1\n",
      "\nsbf_web_requests_total{route=\"other\",status=\"404\"} 1\n",
      "\nsbf_web_request_duration_seconds_bucket{route=\"/healthz\",le=\"0.001\"} ",
      "\nsbf_web_request_duration_seconds_bucket{route=\"/healthz\",le=\"+Inf\"} 1\n",
      "\nsbf_web_request_duration_seconds_count{route=\"/api/screen\"} 2\n", "\nsbf_web_ready 1\n",
      "\n# TYPE sbf_engine_cache_hits_total counter\n", "\n# TYPE process_resident_memory_bytes gauge\n"};
  for (int attempt = 0; attempt < 20; ++attempt) {
    const auto metrics = client.Get("/metrics");
    ASSERT_EQ(metrics->status, 200);
    EXPECT_EQ(metrics->get_header_value("Content-Type"), "text/plain; version=0.0.4; charset=utf-8");
    body = metrics->body;
    if (std::all_of(std::begin(lines), std::end(lines), [&](const char* l) { return body.find(l) != std::string::npos; }))
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  for (const char* line : lines) EXPECT_NE(body.find(line), std::string::npos) << line << "\n" << body;
  EXPECT_EQ(body.find("sbf_engine_cache_bytes 0\n"), std::string::npos) << "the warm-up kept nothing";
}

// Every screen is tagged with the data's version and its address; a tag still valid gets
// 304 without a body; a database file renamed over gives new tags at once.
TEST(WebServer, TagsFollowTheDataAndTheAddress) {
  const std::string folder = CopyOfSample("web_tags");
  Running running(folder);
  httplib::Client client = running.Client();
  const auto first = client.Get("/api/screen?cat=Engine");
  ASSERT_EQ(first->status, 200);
  const std::string tag = first->get_header_value("ETag");
  EXPECT_EQ(tag.front(), '"');
  EXPECT_EQ(first->get_header_value("Cache-Control"), "public, no-cache");
  for (const std::string& header : {tag, "W/" + tag, "\"other\", " + tag, std::string("*")}) {
    const auto again = client.Get("/api/screen?cat=Engine", {{"If-None-Match", header}});
    EXPECT_EQ(again->status, 304) << header;
    EXPECT_EQ(again->body, "") << header;
    EXPECT_EQ(again->get_header_value("ETag"), tag) << header;
  }
  EXPECT_NE(client.Get("/api/screen?cat=Body")->get_header_value("ETag"), tag);
  EXPECT_NE(client.Get("/?cat=Engine")->get_header_value("ETag"), tag);
  EXPECT_NE(client.Get("/api/screen?cat=Engine&op=pick&schema=7401&loc=0&value=EU")->get_header_value("ETag"), tag)
      << "a change is another address";
  // New data, published by rename.
  fs::copy_file(folder + "/prj.db", folder + "/prj.new");
  fs::rename(folder + "/prj.new", folder + "/prj.db");
  const auto renewed = client.Get("/api/screen?cat=Engine", {{"If-None-Match", tag}});
  EXPECT_EQ(renewed->status, 200);
  EXPECT_NE(renewed->get_header_value("ETag"), tag);
  // Refusals are not kept.
  EXPECT_EQ(client.Get("/api/screen?lang=2")->get_header_value("Cache-Control"), "no-store");
}

// The limits the gate answers before any handler: as a page in the language the address
// asked for, or as JSON from the API; the connection is closed after.
TEST(WebServer, LimitsAreAnsweredInThePagesLanguageOrAsJson) {
  sbf_web::ServerOptions options;
  options.limits.headSeconds = 1;
  Running running(CopyOfSample("web_limits"), options);
  const std::string longAddress = "/?lang=3&cat=" + std::string(9000, 'x');
  struct Case {
    std::string request;
    std::string status, shows;
  } cases[] = {
      {"GET " + longAddress + " HTTP/1.1\r\nHost: x\r\n\r\n", "414", "Die Adresse ist zu lang"},
      {"GET /api/screen?cat=" + std::string(9000, 'x') + " HTTP/1.1\r\n\r\n", "414",
       "\"description\":\"the address is longer than the server reads\""},
      {"GET /?lang=5 HTTP/1.1\r\nCookie: " + std::string(9000, 'c') + "\r\n\r\n", "431", "trop grands"},
      {"GET /api/screen HTTP/1.1\r\nA: " + std::string(6000, 'a') + "\r\nB: " + std::string(6000, 'b') + "\r\nC: " +
           std::string(6000, 'c') + "\r\n\r\n",
       "431", "\"status\":431"},
      {"GET /?lang=3 HTTP/1.1\r\nHost: x\r\n", "408", "nicht rechtzeitig"},  // the blank line never comes
  };
  for (const auto& c : cases) {
    const Socket socket(running.port);
    ASSERT_TRUE(socket.connected);
    socket.Send(c.request);
    const std::string answer = socket.ReadAll();
    EXPECT_EQ(answer.rfind("HTTP/1.1 " + c.status + " ", 0), 0u) << answer.substr(0, 200);
    EXPECT_NE(answer.find(c.shows), std::string::npos) << answer.substr(0, 400);
    EXPECT_NE(answer.find("Connection: close"), std::string::npos);
  }
}

// Clients that send their request a byte at a time hold no worker: with more of them than
// workers, a whole request is still answered.
TEST(WebServer, StalledClientsHoldNoWorker) {
  sbf_web::ServerOptions options;
  options.threads = 2;
  Running running(CopyOfSample("web_stalled"), options);
  std::vector<std::unique_ptr<Socket>> stalled;
  for (int i = 0; i < 20; ++i) {
    stalled.push_back(std::make_unique<Socket>(running.port));
    stalled.back()->Send("GET /?cat=Eng");
  }
  httplib::Client client = running.Client();
  client.set_read_timeout(3, 0);  // well below the head's 10 s: a worker held by one would time it out
  const auto answer = client.Get("/api/screen");
  ASSERT_TRUE(answer) << "no answer while stalled clients wait";
  EXPECT_EQ(answer->status, 200);
  // Two requests on one connection, sent together, are answered in turn.
  const Socket both(running.port);
  both.Send("GET /healthz HTTP/1.1\r\nHost: x\r\n\r\nGET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  const std::string answers = both.ReadAll();
  EXPECT_EQ(answers.find("HTTP/1.1 200"), 0u) << answers;
  EXPECT_NE(answers.find("HTTP/1.1 200", 10), std::string::npos) << answers;
}

// One JSON line per request, the state shortened, and never the connection string.
TEST(WebServer, AccessLogHasALineForEachRequest) {
  const std::string folder = CopyOfSample("web_log");
  sbf_web::ServerOptions options;
  options.accessLog = folder + "/access.log";
  {
    Running running(folder, options, true, ";Pwd=secret-word");
    httplib::Client client = running.Client();
    const std::string state = "either-or~7401~0~~~~either-or~117~0~~~~either-or~111~0~~~~2~7401~0~EU~EU~~1~135~0~~70~!!";
    client.Get("/api/screen?state=" + state);
    client.Get("/api/screen?state=2~9999~0~~EU~");
    client.Get("/healthz");
  }
  std::ifstream in(options.accessLog);
  std::vector<nlohmann::json> lines;
  for (std::string line; std::getline(in, line);) {
    EXPECT_EQ(line.find("secret-word"), std::string::npos) << line;
    lines.push_back(nlohmann::json::parse(line));
  }
  ASSERT_EQ(lines.size(), 3u);
  // Each line is written once its answer is sent, so the lines of quick requests may swap.
  auto line = [&](const char* route, int status) {
    for (const auto& l : lines)
      if (l["route"] == route && l["status"] == status) return l;
    ADD_FAILURE() << "no line of " << route << " " << status;
    return nlohmann::json::object();
  };
  const nlohmann::json screen = line("/api/screen", 200), refused = line("/api/screen", 400), health = line("/healthz", 200);
  EXPECT_GT(screen["vehicles"].get<int>(), 0);
  EXPECT_GT(screen["bytes"].get<int>(), 1000);
  EXPECT_GE(screen["ms"].get<double>(), 0);
  EXPECT_EQ(screen["state"].get<std::string>().rfind("either-or~7401~0~~~~either-or~117", 0), 0u);
  EXPECT_NE(screen["state"].get<std::string>().find("\u2026 ("), std::string::npos) << "not shortened";
  EXPECT_FALSE(refused.contains("vehicles"));
  EXPECT_EQ(health["method"], "GET");
  EXPECT_EQ(health["remote"], "127.0.0.1");
  EXPECT_EQ(health["time"].get<std::string>().size(), 24u);  // 2026-01-31T12:00:00.123Z
}

// A drain: readiness off, no new connections, idle ones closed, a request already begun
// answered in full (and its connection closed after it).
TEST(WebServer, DrainFinishesWhatHasBegun) {
  Running running(CopyOfSample("web_drain"));
  const Socket idle(running.port), begun(running.port);
  ASSERT_TRUE(idle.connected && begun.connected);
  begun.Send("GET /api/screen?cat=Body HTTP/1.1\r\nHost: x\r\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  bool drained = false;
  std::thread drain([&] { drained = running.server->Drain(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(running.server->Ready());
  EXPECT_FALSE(Socket(running.port).connected) << "a new connection was taken while draining";
  EXPECT_TRUE(idle.ClosedWithin(1000)) << "the idle connection was not closed";
  begun.Send("\r\n");
  const std::string answer = begun.ReadAll();
  drain.join();
  EXPECT_TRUE(drained);
  EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << answer.substr(0, 200);
  EXPECT_NE(answer.find("Connection: close"), std::string::npos);
  EXPECT_NE(answer.find("\"storedCurrency\":\"USD\"}"), std::string::npos) << "the body is not whole";
}

}  // namespace
