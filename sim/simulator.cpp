#include "core/unit_family.h"
#include "sim/commands.h"
#include "sim/recording.h"
#include "sim/unit.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <utility>

namespace lumvex::sim {

namespace detail {

struct Outgoing {
  Clock::time_point due;
  std::string bytes;
};

struct Connection {
  int fd = -1;
  bool pty = false;
  bool closing = false;
  std::string in;
  std::deque<Outgoing> out;
  // Set by expectLine / expectBytes: the next input goes here.
  Exchange::Continuation then;
  size_t expectBytes = 0;       // 0 = a line
  Exchange::Producer producer;  // makes the rest of a stream once `out` has drained
};

}  // namespace detail

using detail::Connection;

namespace {

constexpr size_t kMaxInputLine = 4096;   // bytes; a longer line is dropped
constexpr size_t kUploadRead = 1 << 20;  // bytes read at once while an upload comes in
constexpr size_t kLongLineDefault = 3000;

void setNonBlocking(int fd) {
  int fl = fcntl(fd, F_GETFL);
  if (fl >= 0) fcntl(fd, F_SETFL, fl | O_NONBLOCK);
}

bool faultHits(FaultRule& f, std::string_view name) {
  if (f.kind == FaultKind::DropAfterBytes) return false;
  if (!f.command.empty() && f.command != name) return false;
  ++f.seen;
  return f.seen >= f.nth && (f.count == 0 || f.seen < f.nth + f.count);
}

std::string lowerName(std::string_view name) {
  std::string s(name);
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (s == name) s += "X";
  return s;
}

}  // namespace

// ---------------------------------------------------------------- state

std::string UnitState::prop(std::string_view key, std::string_view fallback) const {
  auto it = props.find(key);
  return it == props.end() ? std::string(fallback) : it->second;
}

int UnitState::propInt(std::string_view key, int fallback) const {
  auto it = props.find(key);
  if (it == props.end()) return fallback;
  char* end = nullptr;
  long v = std::strtol(it->second.c_str(), &end, 10);
  return end && *end == '\0' && end != it->second.c_str() ? static_cast<int>(v) : fallback;
}

void Advance(UnitState& u, Clock::time_point now) {
  using std::chrono::milliseconds;
  for (bool changed = true; changed;) {
    changed = false;
    if (u.status == 0 && u.armByInputPending && now >= u.armByInputAt) {
      u.armByInputPending = false;
      u.status = 1;
      u.armedAt = u.armByInputAt;
      changed = true;
    }
    if (u.status == 1 && u.triggerByInputAfterMs >= 0 &&
        now >= u.armedAt + milliseconds(u.triggerByInputAfterMs)) {
      u.status = 2;
      u.triggeredAt = u.armedAt + milliseconds(u.triggerByInputAfterMs);
      changed = true;
    }
    if (u.status == 2 && now >= u.triggeredAt + milliseconds(u.postTriggerMs + u.storeMs)) {
      u.status = 3;
      changed = true;
    }
    if (u.erasing && now >= u.eraseStartedAt + milliseconds(u.eraseMs)) {
      u.erasing = false;
      u.eraseReplyDue = true;
      u.eraseReported = u.eraseResult;
      if (u.eraseResult == 0) u.status = 0;
      changed = true;
    }
  }
}

int FamilyArmLimitMs(const UnitState& u) {
  const int family = DummyTypeFromText(u.prop("type", "WorldSID"));
  if (family != 5 && family != 7) return 30000;
  return u.prop("firmware", "LX2 V8.0").find("LX2") != std::string::npos ? 180000 : 25000;
}

void ArmUnit(UnitState& u, int stopTimeMs, int postTriggerMs, Clock::time_point now, std::string& first,
             std::string& second) {
  first = "OK";
  second = "OK";
  if (u.status == 3 || u.erasing) {
    first = "NOT ERASED";
    return;
  }
  const int familyLimit = FamilyArmLimitMs(u);
  const int stopLimit = u.stopTimeLimitMs > 0 ? u.stopTimeLimitMs : familyLimit;
  const int postLimit = u.postTriggerLimitMs > 0 ? u.postTriggerLimitMs : familyLimit;
  // arm.refuse=stop, post or stop,post: refuse those fields whatever they hold.
  const std::string refuse = u.prop("arm.refuse");
  bool stopOk = stopTimeMs == 0 || (stopTimeMs >= 10 && stopTimeMs <= stopLimit);
  bool postOk = postTriggerMs > 0 && postTriggerMs < postLimit;
  if (refuse.find("stop") != std::string::npos) stopOk = false;
  if (refuse.find("post") != std::string::npos) postOk = false;
  if (!stopOk) first = "BAD";
  if (!postOk) second = "BAD";
  if (!stopOk || !postOk || u.status != 0) return;
  u.status = 1;
  u.stopTimeMs = stopTimeMs;
  u.postTriggerMs = postTriggerMs;
  u.armedAt = now;
}

void DisarmUnit(UnitState& u) {
  if (u.status == 1) u.status = 0;
}

void TriggerUnit(UnitState& u, Clock::time_point now) {
  if (u.status != 1) return;
  u.status = 2;
  u.triggeredAt = now;
}

void StartErase(UnitState& u, Clock::time_point now) {
  u.erasing = true;
  u.eraseReplyDue = false;
  u.eraseStartedAt = now;
}

// ---------------------------------------------------------------- framing

std::string FrameReply(std::string_view name, const std::vector<std::string>& fields) {
  std::string body(name);
  body += '#';
  for (const auto& f : fields) {
    body += f;
    body += '#';
  }
  unsigned sum = 0;
  for (char c : body) sum += static_cast<unsigned char>(c);
  return body + std::to_string(sum % 256) + "\r\n";
}

bool ParseRequest(std::string_view line, Request& out) {
  out = Request{};
  out.line.assign(line);
  size_t first = line.find('#');
  if (first == std::string_view::npos) return false;
  out.name.assign(line.substr(0, first));
  size_t last = line.rfind('#');
  std::string_view mid = line.substr(first + 1, last - first);  // fields with their '#'
  while (!mid.empty()) {
    size_t h = mid.find('#');
    out.args.emplace_back(mid.substr(0, h));
    mid.remove_prefix(h + 1);
  }
  std::string_view cs = line.substr(last + 1);
  unsigned sum = 0;
  for (char c : line.substr(0, last + 1)) sum += static_cast<unsigned char>(c);
  out.checksumOk = !cs.empty() && cs.size() <= 3 &&
                   std::all_of(cs.begin(), cs.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
                   std::stoi(std::string(cs)) == static_cast<int>(sum % 256);
  return true;
}

bool ParseFault(std::string_view text, FaultRule& out, std::string* error) {
  auto fail = [&](const char* why) {
    if (error) *error = std::string(why) + ": " + std::string(text);
    return false;
  };
  static const std::pair<std::string_view, FaultKind> kinds[] = {
      {"drop-at", FaultKind::DropAtCommand}, {"drop-bytes", FaultKind::DropAfterBytes},
      {"stall", FaultKind::Stall},           {"corrupt", FaultKind::CorruptChecksum},
      {"wrong-name", FaultKind::WrongName},  {"extra-fields", FaultKind::ExtraFields},
      {"long-line", FaultKind::LongLine},
  };
  FaultRule r;
  size_t end = text.find_first_of("=@*:");
  std::string_view kind = text.substr(0, end);
  bool found = false;
  for (const auto& [n, k] : kinds)
    if (n == kind) {
      r.kind = k;
      found = true;
    }
  if (!found) return fail("unknown fault");
  auto number = [](std::string_view s, long& v) {
    if (s.empty()) return false;
    char* e = nullptr;
    std::string t(s);
    v = std::strtol(t.c_str(), &e, 10);
    return *e == '\0';
  };
  while (end != std::string_view::npos) {
    char tag = text[end];
    size_t next = text.find_first_of("=@*:", end + 1);
    std::string_view part = text.substr(end + 1, next == std::string_view::npos ? next : next - end - 1);
    long v = 0;
    if (tag == '=') {
      r.command.assign(part);
    } else if (!number(part, v)) {
      return fail("not a number");
    } else if (tag == '@') {
      if (v < 1) return fail("occurrence must be 1 or more");
      r.nth = static_cast<int>(v);
    } else if (tag == '*') {
      if (v < 0) return fail("count must be 0 or more");
      r.count = static_cast<int>(v);
    } else {
      r.value = v;
    }
    end = next;
  }
  if (r.kind == FaultKind::DropAfterBytes && r.value < 0) return fail("drop-bytes needs :BYTES");
  out = r;
  return true;
}

// ---------------------------------------------------------------- command table

const Handler* CommandTable::find(std::string_view name) const {
  auto it = handlers_.find(name);
  return it == handlers_.end() ? nullptr : &it->second;
}

std::vector<std::string> CommandTable::names() const {
  std::vector<std::string> out;
  for (const auto& [n, h] : handlers_) out.push_back(n);
  return out;
}

// ---------------------------------------------------------------- exchange

void Exchange::reply(const std::vector<std::string>& fields) { replyAs(req.name, fields); }

void Exchange::replyAs(std::string_view name, const std::vector<std::string>& fields) {
  std::vector<std::string> f = fields;
  std::string n(name);
  long delayMs = 0;
  std::string line;
  if (fault_) {
    switch (fault_->kind) {
      case FaultKind::WrongName:
        n = lowerName(n);
        break;
      case FaultKind::ExtraFields:
        while (f.size() < 3) f.push_back("0");
        break;
      case FaultKind::LongLine: {
        size_t want = fault_->value > 0 ? static_cast<size_t>(fault_->value) : kLongLineDefault;
        if (f.empty()) f.push_back("");
        // The checksum's digit count moves with the padding: search the few
        // pad lengths (and last pad letters) that can hit the length exactly.
        std::string base = f[0];
        size_t plain = FrameReply(n, f).size();
        bool hit = false;
        for (size_t k = want > plain + 3 ? want - plain - 3 : 0; k + plain <= want && !hit; ++k) {
          for (char last = 'A'; last <= 'Z' && !hit; ++last) {
            f[0] = base + std::string(k, 'X');
            if (k > 0) f[0].back() = last;
            hit = FrameReply(n, f).size() == want;
          }
        }
        break;
      }
      case FaultKind::Stall:
        delayMs = fault_->value;
        break;
      default:
        break;
    }
  }
  line = FrameReply(n, f);
  if (fault_ && fault_->kind == FaultKind::CorruptChecksum) {
    size_t h = line.rfind('#');
    int cs = std::atoi(line.c_str() + h + 1);
    line = line.substr(0, h + 1) + std::to_string((cs + 1) % 256) + "\r\n";
  }
  if (delayMs < 0) return;  // stalled for good: this reply is never sent
  conn_.out.push_back({now + std::chrono::milliseconds(delayMs), line});
}

void Exchange::sendRaw(std::string_view bytes, long afterMs) {
  // Raw bytes queue behind any held reply, as they would on a real line.
  conn_.out.push_back({now + std::chrono::milliseconds(afterMs), std::string(bytes)});
}

void Exchange::sendStream(Producer next) { conn_.producer = std::move(next); }

void Exchange::expectLine(Continuation then) {
  conn_.then = std::move(then);
  conn_.expectBytes = 0;
}

void Exchange::expectBytes(size_t n, Continuation then) {
  conn_.then = std::move(then);
  conn_.expectBytes = n;
}

// ---------------------------------------------------------------- simulator

Simulator::Simulator(CommandTable table) : table_(std::move(table)) {
  if (pipe(wakePipe_) == 0) {
    setNonBlocking(wakePipe_[0]);
    setNonBlocking(wakePipe_[1]);
  }
}

Simulator::Simulator() : Simulator(DefaultCommands()) {}

Simulator::~Simulator() {
  stop();
  std::lock_guard<std::mutex> lock(mu_);
  for (int fd : listeners_) close(fd);
  listeners_.clear();
  for (auto& c : conns_)
    if (c->fd >= 0) close(c->fd);
  conns_.clear();
  if (ptyHold_ >= 0) close(ptyHold_);
  ptyHold_ = -1;
  for (int& fd : wakePipe_)
    if (fd >= 0) close(fd);
}

int Simulator::listenTcp(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* res = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &res) != 0) return -1;
  int fd = -1;
  for (addrinfo* a = res; a && fd < 0; a = a->ai_next) {
    fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd, a->ai_addr, a->ai_addrlen) != 0 || listen(fd, 4) != 0) {
      close(fd);
      fd = -1;
    }
  }
  freeaddrinfo(res);
  if (fd < 0) return -1;
  setNonBlocking(fd);
  sockaddr_storage ss{};
  socklen_t len = sizeof ss;
  getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &len);
  int bound = ss.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port)
                                       : ntohs(reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
  {
    std::lock_guard<std::mutex> lock(mu_);
    listeners_.push_back(fd);
  }
  wake();
  return bound;
}

std::string Simulator::openPty() {
  int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0) return "";
  if (grantpt(master) != 0 || unlockpt(master) != 0) {
    close(master);
    return "";
  }
  const char* name = ptsname(master);
  if (!name) {
    close(master);
    return "";
  }
  std::string path = name;
  // Raw at once: an echoing terminal would hand our replies back to us.
  termios t{};
  if (tcgetattr(master, &t) == 0) {
    cfmakeraw(&t);
    tcsetattr(master, TCSANOW, &t);
  }
  int hold = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (hold >= 0 && tcgetattr(hold, &t) == 0) {
    cfmakeraw(&t);
    tcsetattr(hold, TCSANOW, &t);
  }
  setNonBlocking(master);
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (ptyHold_ >= 0) close(ptyHold_);
    ptyHold_ = hold;
    auto c = std::make_unique<Connection>();
    c->fd = master;
    c->pty = true;
    conns_.push_back(std::move(c));
  }
  wake();
  return path;
}

bool Simulator::start() {
  if (thread_.joinable()) return false;
  {
    std::lock_guard<std::mutex> lock(mu_);
    stopping_ = false;
  }
  thread_ = std::thread([this] { run(); });
  return true;
}

void Simulator::stop() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stopping_ = true;
  }
  wake();
  if (thread_.joinable()) thread_.join();
}

void Simulator::wake() {
  if (wakePipe_[1] >= 0) {
    char b = 1;
    [[maybe_unused]] ssize_t n = ::write(wakePipe_[1], &b, 1);
  }
}

int Simulator::status() {
  return withUnit([](UnitState& u) { return u.status; });
}

void Simulator::arm(int stopTimeMs, int postTriggerMs) {
  withUnit([&](UnitState& u) {
    std::string a, b;
    ArmUnit(u, stopTimeMs, postTriggerMs, Clock::now(), a, b);
  });
}

void Simulator::trigger() {
  withUnit([](UnitState& u) { TriggerUnit(u, Clock::now()); });
}

void Simulator::disarm() {
  withUnit([](UnitState& u) { DisarmUnit(u); });
}

void Simulator::erase() {
  withUnit([](UnitState& u) { StartErase(u, Clock::now()); });
}

void Simulator::armByInputAfter(int ms) {
  withUnit([ms](UnitState& u) {
    u.armByInputPending = true;
    u.armByInputAt = Clock::now() + std::chrono::milliseconds(ms);
  });
}

void Simulator::addFault(FaultRule rule) {
  std::lock_guard<std::mutex> lock(mu_);
  rule.seen = 0;
  faults_.push_back(rule);
}

void Simulator::clearFaults() {
  std::lock_guard<std::mutex> lock(mu_);
  faults_.clear();
}

void Simulator::dropClients() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    dropRequested_ = true;
  }
  wake();
  // Wait until the serving thread has closed them, so the caller can rely on it.
  for (int i = 0; i < 200; ++i) {
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (!dropRequested_) return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::vector<std::string> Simulator::received() {
  std::lock_guard<std::mutex> lock(mu_);
  return received_;
}

void Simulator::captureInput(bool on) {
  std::lock_guard<std::mutex> lock(mu_);
  capture_ = on;
  if (!on) captured_.clear();
}

std::string Simulator::capturedInput() {
  std::lock_guard<std::mutex> lock(mu_);
  return std::exchange(captured_, std::string());
}

int Simulator::connectionCount() {
  std::lock_guard<std::mutex> lock(mu_);
  int n = 0;
  for (auto& c : conns_)
    if (c->fd >= 0 && !c->pty) ++n;
  return n;
}

void Simulator::setLog(std::function<void(std::string_view)> log) {
  std::lock_guard<std::mutex> lock(mu_);
  log_ = std::move(log);
}

void Simulator::closeConnection(Connection& c) {
  if (c.fd >= 0) close(c.fd);
  c.fd = -1;
  if (c.pty && ptyHold_ >= 0) {
    close(ptyHold_);
    ptyHold_ = -1;
  }
}

int Simulator::nextWakeMs() {
  auto now = Clock::now();
  long best = -1;
  for (auto& c : conns_) {
    if (c->fd < 0 || c->out.empty()) continue;
    long ms = std::chrono::duration_cast<std::chrono::milliseconds>(c->out.front().due - now).count();
    if (ms < 0) ms = 0;
    if (best < 0 || ms < best) best = ms + 1;
  }
  // Time-driven states need no wake-up: they are applied when asked.
  return best < 0 ? 1000 : static_cast<int>(best);
}

void Simulator::flush(Connection& c) {
  auto now = Clock::now();
  for (;;) {
    if (c.fd >= 0 && c.out.empty() && c.producer) {
      std::string piece;
      if (!c.producer(piece)) c.producer = nullptr;
      if (!piece.empty()) c.out.push_back({now, std::move(piece)});
    }
    if (!(c.fd >= 0 && !c.out.empty() && c.out.front().due <= now)) break;
    std::string& b = c.out.front().bytes;
    size_t n = b.size();
    FaultRule* dropper = nullptr;
    for (auto& f : faults_)
      if (f.kind == FaultKind::DropAfterBytes && f.value >= 0) dropper = &f;
    if (dropper && static_cast<size_t>(dropper->value) < n) n = static_cast<size_t>(dropper->value);
    // A client that hung up must not raise SIGPIPE in the serving process.
    ssize_t w = n ? ::send(c.fd, b.data(), n, MSG_NOSIGNAL) : 0;
    if (w < 0 && errno == ENOTSOCK) w = ::write(c.fd, b.data(), n);  // pseudo-terminal
    if (w < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK) return;
      closeConnection(c);
      return;
    }
    if (dropper) {
      dropper->value -= w;
      if (dropper->value <= 0) {
        dropper->value = -1;  // spent
        closeConnection(c);
        return;
      }
    }
    if (log_) log_("< " + b.substr(0, static_cast<size_t>(w)));
    b.erase(0, static_cast<size_t>(w));
    if (b.empty()) c.out.pop_front();
  }
}

void Simulator::handleLine(Connection& c, std::string_view line) {
  auto now = Clock::now();
  Advance(unit_, now);
  Request req;
  if (c.then) {
    auto then = std::move(c.then);
    c.then = nullptr;
    req.line.assign(line);
    Exchange x(unit_, req, now, c, nullptr);
    then(x, line);
    return;
  }
  if (line.empty()) return;
  received_.emplace_back(line);
  if (log_) log_("> " + std::string(line));
  if (!ParseRequest(line, req) || !req.checksumOk) return;  // a garbled command gets no answer
  const FaultRule* hit = nullptr;
  for (auto& f : faults_)
    if (faultHits(f, req.name) && !hit) hit = &f;
  if (hit && hit->kind == FaultKind::DropAtCommand) {
    closeConnection(c);
    return;
  }
  Exchange x(unit_, req, now, c, hit);
  if (const Handler* h = table_.find(req.name)) {
    (*h)(x);
  } else {
    x.reply({"ERROR"});
  }
}

void Simulator::serveInput(Connection& c) {
  // Command lines come a few bytes at a time; an upload is taken in large
  // reads straight into the input, or the unit would hold the sender back.
  const bool upload = c.then && c.expectBytes > c.in.size();
  if (upload && c.in.capacity() < c.expectBytes) c.in.reserve(c.expectBytes);
  if (readBuf_.size() < kUploadRead) readBuf_.resize(kUploadRead);
  char* buf = readBuf_.data();
  ssize_t n = ::read(c.fd, buf, upload ? std::min(c.expectBytes - c.in.size(), kUploadRead) : 4096);
  if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
    // A pseudo-terminal master reads EIO while no one holds the slave.
    if (!(c.pty && n < 0 && errno == EIO)) closeConnection(c);
    return;
  }
  if (n < 0) return;
  if (capture_) captured_.append(buf, static_cast<size_t>(n));
  c.in.append(buf, static_cast<size_t>(n));
  for (;;) {
    if (c.fd < 0) return;
    if (c.then && c.expectBytes > 0) {
      if (c.in.size() < c.expectBytes) return;
      // A large upload usually fills the input exactly: hand it over whole.
      std::string data;
      if (c.in.size() == c.expectBytes) {
        data.swap(c.in);
      } else {
        data = c.in.substr(0, c.expectBytes);
        c.in.erase(0, c.expectBytes);
      }
      c.expectBytes = 0;
      auto then = std::move(c.then);
      c.then = nullptr;
      Request req;
      Exchange x(unit_, req, Clock::now(), c, nullptr);
      then(x, data);
      // The next upload reuses the memory (a fresh 100 MB costs page faults).
      if (c.in.empty()) {
        data.clear();
        c.in.swap(data);
      }
      continue;
    }
    // A line a handler expects (a test comment) may end at CR alone.
    size_t lf = c.then ? c.in.find_first_of("\r\n") : c.in.find('\n');
    if (lf == std::string::npos) {
      if (c.in.size() > kMaxInputLine) c.in.clear();
      return;
    }
    std::string line = c.in.substr(0, lf);
    size_t used = lf + 1;
    if (c.in[lf] == '\r' && used < c.in.size() && c.in[used] == '\n') ++used;
    c.in.erase(0, used);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    handleLine(c, line);
  }
}

void Simulator::run() {
  std::unique_lock<std::mutex> lock(mu_);
  while (!stopping_) {
    if (dropRequested_) {
      for (auto& c : conns_) closeConnection(*c);
      dropRequested_ = false;
    }
    std::erase_if(conns_, [](const std::unique_ptr<Connection>& c) { return c->fd < 0; });
    for (auto& c : conns_) flush(*c);
    std::vector<pollfd> fds;
    fds.push_back({wakePipe_[0], POLLIN, 0});
    for (int l : listeners_) fds.push_back({l, POLLIN, 0});
    size_t firstConn = fds.size();
    for (auto& c : conns_) {
      short ev = POLLIN;
      if ((!c->out.empty() && c->out.front().due <= Clock::now()) || (c->out.empty() && c->producer))
        ev |= POLLOUT;
      fds.push_back({c->fd, ev, 0});
    }
    int timeout = nextWakeMs();
    lock.unlock();
    int r = poll(fds.data(), fds.size(), timeout);
    lock.lock();
    if (r < 0 && errno != EINTR) break;
    if (r <= 0) continue;
    if (fds[0].revents & POLLIN) {
      char b[64];
      while (::read(wakePipe_[0], b, sizeof b) > 0) {
      }
    }
    for (size_t i = 1; i < firstConn; ++i) {
      if (!(fds[i].revents & POLLIN)) continue;
      int fd = accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd < 0) continue;
      auto c = std::make_unique<Connection>();
      c->fd = fd;
      conns_.push_back(std::move(c));
    }
    // conns_ may have grown; only the ones polled are looked at.
    for (size_t i = firstConn; i < fds.size(); ++i) {
      Connection& c = *conns_[i - firstConn];
      if (c.fd < 0 || c.fd != fds[i].fd) continue;
      if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) serveInput(c);
    }
  }
  for (auto& c : conns_) closeConnection(*c);
  conns_.clear();
}

}  // namespace lumvex::sim
