#include "Gate.h"

#include <algorithm>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sbf_web {
namespace {

using Clock = std::chrono::steady_clock;

thread_local Clock::time_point t_headComplete;

const char* Reason(int status) {
  switch (status) {
    case 408: return "Request Timeout";
    case 414: return "URI Too Long";
    case 431: return "Request Header Fields Too Large";
    default: return "Error";
  }
}

// Waits until `fd` can be read (POLLIN) or written (POLLOUT), at most until `deadline`.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left < 0) return false;
    pollfd p{fd, events, 0};
    const int n = ::poll(&p, 1, static_cast<int>(left));
    if (n > 0) return true;
    if (n == 0) return false;
    if (errno != EINTR) return false;
  }
}

// The address of either end of a socket.
void AddressOf(int fd, bool peer, std::string& ip, int& port) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  const int rc = peer ? ::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length)
                      : ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  if (rc != 0) return;
  char text[INET6_ADDRSTRLEN] = {0};
  if (address.ss_family == AF_INET) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(&address);
    ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    port = ntohs(in->sin_port);
  } else if (address.ss_family == AF_INET6) {
    const auto* in = reinterpret_cast<const sockaddr_in6*>(&address);
    ::inet_ntop(AF_INET6, &in->sin6_addr, text, sizeof text);
    port = ntohs(in->sin6_port);
  }
  ip = text;
}

// The value of a header in a request head, "" when absent (names without regard to case).
std::string HeaderOf(const std::string& head, const char* name) {
  const size_t length = std::strlen(name);
  for (size_t at = head.find('\n'); at != std::string::npos && at + 1 < head.size(); at = head.find('\n', at + 1)) {
    if (head.size() - at - 1 <= length || head[at + 1 + length] != ':') continue;
    if (strncasecmp(head.c_str() + at + 1, name, length) != 0) continue;
    const size_t from = head.find_first_not_of(' ', at + 2 + length);
    const size_t to = head.find_first_of("\r\n", from);
    return from == std::string::npos ? "" : head.substr(from, to - from);
  }
  return "";
}

}  // namespace

struct GatedServer::Connection {
  explicit Connection(int socket) : fd(socket) {}
  ~Connection() {
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
  }
  int fd;
  Clock::time_point deadline;
  bool started = false;  // a byte of the next request has arrived
  size_t served = 0;
};

// The connection as cpp-httplib reads and writes it: reads take no more than the request
// (`budget` bytes: its head and body), so that what follows stays on the socket for the
// gate; writes wait for the client at most Limits::writeSeconds.
class GatedServer::Stream : public httplib::Stream {
 public:
  Stream(int fd, size_t budget, int seconds) : m_fd(fd), m_budget(budget), m_seconds(seconds) {}

  bool is_readable() const override { return m_at < m_size; }
  bool is_writable() const override { return WaitFor(m_fd, POLLOUT, Clock::now() + std::chrono::seconds(m_seconds)); }

  ssize_t read(char* ptr, size_t size) override {
    if (m_at == m_size) {
      if (m_budget == 0) return 0;
      if (!WaitFor(m_fd, POLLIN, Clock::now() + std::chrono::seconds(m_seconds))) return -1;
      const ssize_t n = ::recv(m_fd, m_buffer, std::min(sizeof m_buffer, m_budget), MSG_DONTWAIT);
      if (n <= 0) return n;
      m_budget -= static_cast<size_t>(n);
      m_at = 0;
      m_size = static_cast<size_t>(n);
    }
    const size_t n = std::min(size, m_size - m_at);
    std::memcpy(ptr, m_buffer + m_at, n);
    m_at += n;
    return static_cast<ssize_t>(n);
  }

  ssize_t write(const char* ptr, size_t size) override {
    const auto deadline = Clock::now() + std::chrono::seconds(m_seconds);
    size_t sent = 0;
    while (sent < size) {
      if (!WaitFor(m_fd, POLLOUT, deadline)) return -1;
      const ssize_t n = ::send(m_fd, ptr + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (n <= 0) return -1;
      sent += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(size);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override { AddressOf(m_fd, true, ip, port); }
  void get_local_ip_and_port(std::string& ip, int& port) const override { AddressOf(m_fd, false, ip, port); }
  socket_t socket() const override { return m_fd; }

 private:
  int m_fd;
  size_t m_budget;
  int m_seconds;
  char m_buffer[4096];
  size_t m_at = 0, m_size = 0;
};

GatedServer::GatedServer(Limits limits, size_t threads, RefusalAnswer refusal)
    : m_limits(limits), m_refusal(std::move(refusal)) {
  m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
  m_wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.ptr = nullptr;  // the wake-up
  ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake, &event);
  // cpp-httplib's accept loop hands each socket to the queue it makes here: this one runs
  // the hand-over at once, on the accepting thread (it only passes the socket to the gate).
  struct AtOnce : httplib::TaskQueue {
    void enqueue(std::function<void()> fn) override { fn(); }
    void shutdown() override {}
  };
  new_task_queue = [] { return new AtOnce; };
  m_gate = std::thread([this] { GateLoop(); });
  for (size_t i = 0; i < std::max<size_t>(threads, 1); ++i) m_workers.emplace_back([this] { Work(); });
}

GatedServer::~GatedServer() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping = true;
  }
  m_jobReady.notify_all();
  const uint64_t one = 1;
  (void)!::write(m_wake, &one, sizeof one);
  if (m_gate.joinable()) m_gate.join();
  for (auto& worker : m_workers) worker.join();
  m_watched.clear();
  m_incoming.clear();
  ::close(m_wake);
  ::close(m_epoll);
}

double GatedServer::SecondsSinceHead() {
  return std::chrono::duration<double>(Clock::now() - t_headComplete).count();
}

bool GatedServer::process_and_close_socket(socket_t sock) {
  auto connection = std::make_shared<Connection>(sock);
  if (m_draining || m_open >= m_limits.maxConnections) return false;  // closed at once
  ++m_open;
  connection->deadline = Clock::now() + std::chrono::seconds(m_limits.idleSeconds);
  Watch(connection);
  return true;
}

void GatedServer::Watch(const std::shared_ptr<Connection>& connection) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_incoming.push_back(connection);
  }
  const uint64_t one = 1;
  (void)!::write(m_wake, &one, sizeof one);
}

void GatedServer::Close(const std::shared_ptr<Connection>& connection) {
  ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, connection->fd, nullptr);
  m_watched.erase(std::remove(m_watched.begin(), m_watched.end(), connection), m_watched.end());
  Done();
}

void GatedServer::Done() {
  {
    // Under the lock, so that a drain that is about to wait sees it or is woken by it.
    std::lock_guard<std::mutex> lock(m_mutex);
    --m_open;
  }
  m_idle.notify_all();
}

void GatedServer::GateLoop() {
  epoll_event events[64];
  auto lastCheck = Clock::now();
  while (!m_stopping) {
    const int n = ::epoll_wait(m_epoll, events, 64, 100);
    for (int i = 0; i < n; ++i) {
      if (events[i].data.ptr == nullptr) {
        uint64_t count = 0;
        (void)!::read(m_wake, &count, sizeof count);
        continue;
      }
      auto* raw = static_cast<Connection*>(events[i].data.ptr);
      const auto it = std::find_if(m_watched.begin(), m_watched.end(), [&](const auto& c) { return c.get() == raw; });
      if (it != m_watched.end()) Inspect(std::shared_ptr<Connection>(*it), (events[i].events & (EPOLLRDHUP | EPOLLHUP)) != 0);
    }
    std::deque<std::shared_ptr<Connection>> incoming;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      incoming.swap(m_incoming);
    }
    for (auto& connection : incoming) {
      m_watched.push_back(connection);
      epoll_event event{};
      event.events = EPOLLIN | EPOLLRDHUP | EPOLLET;
      event.data.ptr = connection.get();
      ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, connection->fd, &event);
      Inspect(connection, false);  // what arrived meanwhile raises no new edge
    }
    if (Clock::now() - lastCheck > std::chrono::milliseconds(100) || m_draining) {
      CheckDeadlines();
      lastCheck = Clock::now();
    }
  }
}

void GatedServer::CheckDeadlines() {
  const auto now = Clock::now();
  const std::vector<std::shared_ptr<Connection>> watched = m_watched;
  for (const auto& connection : watched) {
    if (connection->started && now >= connection->deadline) Refuse(connection, 408, "");
    else if (!connection->started && (now >= connection->deadline || m_draining)) Close(connection);
  }
}

void GatedServer::Inspect(const std::shared_ptr<Connection>& connection, bool peerDone) {
  std::string head(m_limits.maxHead + 1, '\0');
  const ssize_t n = ::recv(connection->fd, head.data(), head.size(), MSG_PEEK | MSG_DONTWAIT);
  if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return Close(connection);
  if (n < 0) return;
  head.resize(static_cast<size_t>(n));
  if (!connection->started) {
    connection->started = true;
    connection->deadline = Clock::now() + std::chrono::seconds(m_limits.headSeconds);
  }
  // Every line, the request line first, within its limit; the head within its own.
  size_t from = 0;
  for (size_t end; (end = head.find('\n', from)) != std::string::npos; from = end + 1) {
    if (end - from > m_limits.maxRequestLine) return Refuse(connection, from == 0 ? 414 : 431, head);
    if (end == from || (end == from + 1 && head[from] == '\r')) {
      if (end + 1 > m_limits.maxHead) return Refuse(connection, 431, head);
      // The whole head is here: the request (with its body, when it says it has one) to a worker.
      const std::string whole = head.substr(0, end + 1);
      const std::string length = HeaderOf(whole, "Content-Length");
      const bool chunked = !HeaderOf(whole, "Transfer-Encoding").empty();
      const size_t body = chunked ? SIZE_MAX / 2 : std::strtoull(length.c_str(), nullptr, 10);
      ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, connection->fd, nullptr);
      m_watched.erase(std::remove(m_watched.begin(), m_watched.end(), connection), m_watched.end());
      std::lock_guard<std::mutex> lock(m_mutex);
      m_jobs.push_back([this, connection, budget = end + 1 + body] { Serve(connection, budget); });
      ++m_busy;
      m_jobReady.notify_one();
      return;
    }
  }
  if (from == 0 && head.size() > m_limits.maxRequestLine) return Refuse(connection, 414, head);
  if (head.size() > m_limits.maxHead) return Refuse(connection, 431, head);
  if (peerDone) Close(connection);  // the client has stopped sending: its head will not be whole
}

void GatedServer::Refuse(const std::shared_ptr<Connection>& connection, int status, const std::string& head) {
  std::string seen = head;
  if (seen.empty()) {  // a timeout: what has arrived, for the answer and the log
    seen.resize(m_limits.maxHead);
    const ssize_t n = ::recv(connection->fd, seen.data(), seen.size(), MSG_PEEK | MSG_DONTWAIT);
    seen.resize(n > 0 ? static_cast<size_t>(n) : 0);
  }
  Refused refused;
  refused.status = status;
  const size_t space = seen.find(' ');
  refused.method = seen.substr(0, std::min(space, size_t{16}));
  if (space != std::string::npos) {
    const size_t end = seen.find_first_of(" \r\n", space + 1);
    refused.target = seen.substr(space + 1, end == std::string::npos ? std::string::npos : end - space - 1);
  }
  int port = 0;
  AddressOf(connection->fd, true, refused.remote, port);
  const auto [type, body] = m_refusal(refused);
  const std::string answer = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\nContent-Type: " + type +
                             "\r\nContent-Length: " + std::to_string(body.size()) +
                             "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + body;
  // A small answer: the socket's buffer takes it, or the client is not listening anyway. What
  // the client sent is read away first, so that closing ends with the answer, not a reset.
  char discard[4096];
  while (::recv(connection->fd, discard, sizeof discard, MSG_DONTWAIT) > 0) {
  }
  (void)!::send(connection->fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  ::shutdown(connection->fd, SHUT_WR);
  Close(connection);
}

void GatedServer::Work() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock<std::mutex> lock(m_mutex);
      m_jobReady.wait(lock, [&] { return m_stopping || !m_jobs.empty(); });
      if (m_jobs.empty()) return;
      job = std::move(m_jobs.front());
      m_jobs.pop_front();
    }
    job();
    job = nullptr;  // the connection goes (and closes) before the request counts as answered
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      --m_busy;
    }
    m_idle.notify_all();
  }
}

void GatedServer::Serve(const std::shared_ptr<Connection>& connection, size_t budget) {
  t_headComplete = Clock::now();
  Stream stream(connection->fd, budget, m_limits.writeSeconds);
  const bool last = m_draining || budget > SIZE_MAX / 4 || ++connection->served >= m_limits.requestsPerConnection;
  bool closed = false;
  const bool ok = process_request(stream, last, closed, nullptr);
  if (!ok || last || closed || m_draining || stream.is_readable()) {
    // Nothing kept of a connection that is done, or whose next bytes this stream has taken.
    return Done();
  }
  connection->started = false;
  connection->deadline = Clock::now() + std::chrono::seconds(m_limits.idleSeconds);
  Watch(connection);
}

bool GatedServer::Drain(std::chrono::milliseconds limit) {
  m_draining = true;
  stop();  // no new connections
  const uint64_t one = 1;
  (void)!::write(m_wake, &one, sizeof one);
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_idle.wait_for(lock, limit, [&] { return m_busy == 0 && m_jobs.empty() && m_open == 0; });
}

}  // namespace sbf_web
