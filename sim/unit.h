// The simulated unit: its state (UnitState), the command table that answers
// the station's command lines, the fault injection applied to every reply, and
// the Simulator that serves one unit over loopback TCP and a pseudo-terminal
// from a thread of its own.
//
// Adding commands: write sim/commands_<topic>.cpp with a function
// `void Register<Topic>Commands(CommandTable&)` that adds one handler per
// command name, declare it in sim/commands.h and call it from the list in
// sim/commands.cpp. A handler reads the request, changes the UnitState and
// answers through the Exchange (reply(), sendRaw(), expectLine(),
// expectBytes()); framing, checksums and faults stay in the core.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace lumvex::sim {

using Clock = std::chrono::steady_clock;

// Everything the unit knows. Command files may add fields here; `props`
// carries free-form settings (`lumvex-sim --set KEY=VALUE`) for handlers that
// need no typed field.
struct UnitState {
  // Recording state as the status query reports it: 0 ready (erased),
  // 1 armed (pre-trigger), 2 triggered (storing), 3 holding a recording.
  int status = 0;
  int stopTimeMs = 0;        // ms; linear-buffer stop time of the last arm (0 circular)
  int postTriggerMs = 1000;  // ms collected after the trigger
  int storeMs = 200;         // ms the unit takes to store after the post-trigger time
  // Arm limits (ms): post-trigger times at or above postTriggerLimitMs and stop
  // times above stopTimeLimitMs (or 1..9) are refused. 0 takes the limits of
  // the unit's family: 25000 for a WorldSID unit, 180000 for an LX2 WorldSID
  // unit, 30000 for every other.
  int postTriggerLimitMs = 0;
  int stopTimeLimitMs = 0;
  Clock::time_point armedAt{};
  Clock::time_point triggeredAt{};

  // Erase: ERASE starts it, the E progress query follows it.
  int eraseMs = 4000;     // ms an erase takes
  int eraseSectors = 64;  // sectors reported by E
  int eraseResult = 0;    // 0 = every sector erased, else the count that failed
  bool erasing = false;
  bool eraseReplyDue = false;  // the final ERASE line goes out before the next E reply
  int eraseReported = 0;       // result carried by that line
  Clock::time_point eraseStartedAt{};

  // The unit's own inputs: arm itself once at armByInputAt (when set), and
  // trigger itself triggerByInputAfterMs after any arm (-1 = never).
  bool armByInputPending = false;
  Clock::time_point armByInputAt{};
  int triggerByInputAfterMs = -1;

  // Diagnostics (sim/commands_diag.cpp): the output word the unit drives, and
  // the trigger-input check that ARMTRIGGER arms.
  int outputs = 0;
  bool triggerCheckArmed = false;
  Clock::time_point triggerCheckArmedAt{};
  // Uploads (sim/commands_maintenance.cpp): the last firmware image taken (the
  // binary bytes, or the text lines each closed by LF), the loads that ended
  // well, and the calibration loaded per side (0 left, 1 right) as the
  // little-endian floats it arrived as, empty until that side was loaded.
  std::string firmwareImage;
  int firmwareLoads = 0;
  std::array<std::string, 2> sideCalibration;

  std::map<std::string, std::string, std::less<>> props;
  std::string prop(std::string_view key, std::string_view fallback = "") const;
  int propInt(std::string_view key, int fallback) const;
};

// Applies the clock to the state: trigger input, end of storing, end of an
// erase, arming by the unit's own input.
void Advance(UnitState& u, Clock::time_point now);
// The recording actions, shared by the command handlers and the test API.
// ArmUnit fills the two reply fields ("OK", "NOT ERASED", "BAD").
// FamilyArmLimitMs: the unit's own limit (ms) on both arm times.
int FamilyArmLimitMs(const UnitState& u);
void ArmUnit(UnitState& u, int stopTimeMs, int postTriggerMs, Clock::time_point now, std::string& first,
             std::string& second);
void DisarmUnit(UnitState& u);
void TriggerUnit(UnitState& u, Clock::time_point now);
void StartErase(UnitState& u, Clock::time_point now);

// A command line as received.
struct Request {
  std::string line;               // without CR LF
  std::string name;               // text before the first '#'
  std::vector<std::string> args;  // fields between the name and the checksum
  bool checksumOk = false;
};

// Builds "NAME#f1#...#checksum\r\n".
std::string FrameReply(std::string_view name, const std::vector<std::string>& fields);
// Splits a received line (CR LF already removed). false when it has no '#'.
bool ParseRequest(std::string_view line, Request& out);

enum class FaultKind {
  DropAtCommand,    // close the connection instead of answering
  DropAfterBytes,   // close once `value` more bytes have been sent
  Stall,            // hold the reply for `value` ms (-1: never send it)
  CorruptChecksum,  // reply checksum off by one
  WrongName,        // reply under another name (lower case)
  ExtraFields,      // reply with three data fields
  LongLine,         // reply padded to `value` bytes (default 3000)
};

struct FaultRule {
  FaultKind kind = FaultKind::Stall;
  std::string command;  // command name it applies to; "" = any command
  int nth = 1;          // 1-based occurrence among the matching commands
  int count = 1;        // matching commands it hits from nth on; 0 = all
  long value = -1;
  int seen = 0;  // matching commands so far (kept by the simulator)
};

// KIND[=COMMAND][@N][*COUNT][:VALUE], e.g. "stall=S@3:5000", "drop-at@4",
// "drop-bytes:10", "corrupt=S", "wrong-name=S*0", "extra-fields=S", "long-line=S".
bool ParseFault(std::string_view text, FaultRule& out, std::string* error = nullptr);

namespace detail {
struct Connection;
}

// What a handler sees: the request, the unit, and the way back.
class Exchange {
 public:
  UnitState& unit;
  const Request& req;
  Clock::time_point now;

  // Reply under the request's name with these data fields (at most two for
  // the station's parser; the fault rules may change it).
  void reply(const std::vector<std::string>& fields = {});
  void replyAs(std::string_view name, const std::vector<std::string>& fields);
  // Bytes as they are (binary records, a second line), afterMs ms from now
  // (0: at once).
  void sendRaw(std::string_view bytes, long afterMs = 0);
  // A long stream made piece by piece as the link drains: next() appends the
  // next piece and returns false after the last one. It runs on the
  // simulator's thread after this handler, so the reply queued before it goes
  // out at once however long the whole stream takes to make.
  using Producer = std::function<bool(std::string& piece)>;
  void sendStream(Producer next);
  // The next input line (without CR LF) or the next n bytes go to `then`
  // instead of the command table (comment lines, uploads); an expected line
  // ends at CR or LF, since the test comment line is closed by CR alone.
  using Continuation = std::function<void(Exchange&, std::string_view)>;
  void expectLine(Continuation then);
  void expectBytes(size_t n, Continuation then);

  Exchange(UnitState& u, const Request& r, Clock::time_point t, detail::Connection& c, const FaultRule* f)
      : unit(u), req(r), now(t), conn_(c), fault_(f) {}

 private:
  detail::Connection& conn_;
  const FaultRule* fault_;
};

using Handler = std::function<void(Exchange&)>;

class CommandTable {
 public:
  // Adds or replaces the handler of a command name.
  void add(std::string name, Handler h) { handlers_[std::move(name)] = std::move(h); }
  const Handler* find(std::string_view name) const;
  std::vector<std::string> names() const;

 private:
  std::map<std::string, Handler, std::less<>> handlers_;
};

// One simulated unit serving its connections from a thread.
class Simulator {
 public:
  explicit Simulator(CommandTable table);
  Simulator();  // with DefaultCommands()
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Listens on host:port (0 = an ephemeral port). The port, or -1.
  int listenTcp(const std::string& host = "127.0.0.1", int port = 0);
  // Opens a pseudo-terminal in raw mode; its slave path, or "".
  std::string openPty();
  // Starts the serving thread (after listenTcp / openPty). false if running.
  bool start();
  // Stops the thread and closes every connection and listener.
  void stop();

  // Locked access to the unit, the clock applied first.
  template <typename Fn>
  auto withUnit(Fn&& fn) {
    std::lock_guard<std::mutex> lock(mu_);
    Advance(unit_, Clock::now());
    return fn(unit_);
  }
  int status();
  // The unit's own actions, as its panel or inputs would do them.
  void arm(int stopTimeMs, int postTriggerMs);
  void trigger();
  void disarm();
  void erase();
  // Arms by the unit's own input after ms (0 = at the next look).
  void armByInputAfter(int ms);

  void addFault(FaultRule rule);
  void clearFaults();
  // Closes every open connection now (and hangs up the pseudo-terminal).
  void dropClients();
  // Command lines received (without CR LF), in order.
  std::vector<std::string> received();
  // Every byte received from now on (command lines and uploaded data alike),
  // kept while capture is on; capturedInput() hands it over and empties it.
  void captureInput(bool on);
  std::string capturedInput();
  int connectionCount();
  // Line log for lumvex-sim --verbose ("> line", "< line").
  void setLog(std::function<void(std::string_view)> log);

 private:
  friend class Exchange;
  friend struct detail::Connection;
  void run();
  void serveInput(detail::Connection& c);
  void handleLine(detail::Connection& c, std::string_view line);
  void send(detail::Connection& c, std::string bytes, long delayMs);
  void flush(detail::Connection& c);
  void closeConnection(detail::Connection& c);
  int nextWakeMs();
  void wake();

  CommandTable table_;
  std::mutex mu_;
  UnitState unit_;
  std::vector<FaultRule> faults_;
  std::vector<std::unique_ptr<detail::Connection>> conns_;
  std::vector<int> listeners_;
  int ptyHold_ = -1;  // our own slave descriptor: the master never sees EIO between station sessions
  std::vector<std::string> received_;
  bool capture_ = false;
  std::string captured_;
  std::vector<char> readBuf_;  // the serving thread's read buffer
  std::function<void(std::string_view)> log_;
  int wakePipe_[2] = {-1, -1};
  bool dropRequested_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace lumvex::sim
