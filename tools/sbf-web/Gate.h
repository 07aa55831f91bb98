// The web host's connections, in front of cpp-httplib's request handling.
//
// cpp-httplib gives every connection a worker thread from accept to close, so a client that
// sends its request a byte at a time holds a worker as long as it likes, and a few hundred
// such clients stop the server. Here one thread (the gate) holds every connection that is
// waiting for its request, with epoll, and looks at what has arrived without taking it off
// the socket; only a connection whose request head is complete goes to a worker, which hands
// it to cpp-httplib (Server::process_request) and gives the connection back to the gate for
// its next request. The gate answers itself, and closes, a request that breaks a limit:
//   408  the head not complete within Limits::headSeconds of its first byte
//   414  a request line (method, address, version) longer than Limits::maxRequestLine
//   431  a head longer than Limits::maxHead, or one header line longer than maxRequestLine
// A connection idle for Limits::idleSeconds between requests is closed without a word.
//
// Drain() is a graceful stop: no new connections, idle ones closed, requests already begun
// answered (with "Connection: close") until none is left or the time is up.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

namespace sbf_web {

struct Limits {
  size_t maxRequestLine = 8192;  // bytes; also the longest header line
  size_t maxHead = 16384;        // bytes of the request line and headers together
  int headSeconds = 10;          // from a request's first byte to the end of its head
  int idleSeconds = 5;           // a kept-alive connection waiting for its next request
  int writeSeconds = 10;         // to send one answer
  size_t requestsPerConnection = 100;
  size_t maxConnections = 1000;  // connections beyond it are closed at once
};

// A request the gate refuses; what is known of it, for the answer and the log.
struct Refused {
  int status = 0;      // 408, 414 or 431
  std::string method;  // as far as it arrived
  std::string target;  // the address as far as it arrived (perhaps cut short)
  std::string remote;
};

// The answer to a refused request: content type and body.
using RefusalAnswer = std::function<std::pair<std::string, std::string>(const Refused&)>;

class GatedServer : public httplib::Server {
 public:
  GatedServer(Limits limits, size_t threads, RefusalAnswer refusal);
  ~GatedServer() override;
  GatedServer(const GatedServer&) = delete;
  GatedServer& operator=(const GatedServer&) = delete;

  // Stops listening, closes idle connections and waits up to `limit` for the requests
  // already begun. True when all were answered.
  bool Drain(std::chrono::milliseconds limit);
  bool Draining() const { return m_draining; }

  // Connections held now, waiting or being answered.
  size_t OpenConnections() const { return m_open; }

  // In a handler or the logger: the seconds since the request's head was complete.
  static double SecondsSinceHead();

 private:
  struct Connection;
  class Stream;

  bool process_and_close_socket(socket_t sock) override;  // cpp-httplib's accept hands over here
  void GateLoop();
  void Inspect(const std::shared_ptr<Connection>& connection, bool peerDone);
  void Refuse(const std::shared_ptr<Connection>& connection, int status, const std::string& head);
  void Serve(const std::shared_ptr<Connection>& connection, size_t budget);
  void Watch(const std::shared_ptr<Connection>& connection);  // (again) wait for a request
  void Close(const std::shared_ptr<Connection>& connection);
  void Done();  // a connection fewer
  void CheckDeadlines();
  void Work();

  Limits m_limits;
  RefusalAnswer m_refusal;
  int m_epoll = -1;
  int m_wake = -1;  // an eventfd: connections to watch, or a drain
  std::mutex m_mutex;
  std::deque<std::shared_ptr<Connection>> m_incoming;  // to be watched by the gate
  std::vector<std::shared_ptr<Connection>> m_watched;  // the gate's own (its thread only)
  std::deque<std::function<void()>> m_jobs;
  std::condition_variable m_jobReady, m_idle;
  size_t m_busy = 0;  // requests being answered
  std::atomic<size_t> m_open{0};
  std::atomic<bool> m_draining{false}, m_stopping{false};
  std::thread m_gate;
  std::vector<std::thread> m_workers;
};

}  // namespace sbf_web
