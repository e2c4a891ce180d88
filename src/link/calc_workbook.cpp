#include "link/calc_workbook.h"
#include "model/atomic_file.h"
#include "model/ending_signals.h"

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace trevolan {

namespace {

constexpr const char* kPython = "/usr/bin/python3";  // Debian's, where python3-uno lives

std::string Escape(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<std::string> SplitAnswer(const std::string& line) {
  std::vector<std::string> fields(1);
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\t') {
      fields.emplace_back();
    } else if (c == '\\' && i + 1 < line.size()) {
      const char n = line[++i];
      fields.back() += n == 't' ? '\t' : n == 'n' ? '\n' : n;
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

// The bridges running now. When a signal ends the program, each is told (SIGTERM) to
// end its Calc and remove Calc's profile and pipe sockets, which it does on its own once
// this program is gone; without the word it would only notice at its next request.
std::atomic<pid_t> g_bridges[8];

void TellBridgesToEnd() {
  for (const auto& bridge : g_bridges) {
    if (const pid_t pid = bridge.load(); pid > 0) kill(pid, SIGTERM);
  }
}

void NoteBridge(pid_t pid) {
  OnEndingSignal(TellBridgesToEnd);
  for (auto& bridge : g_bridges) {
    pid_t free = 0;
    if (bridge.compare_exchange_strong(free, pid)) return;
  }
}

void ForgetBridge(pid_t pid) {
  for (auto& bridge : g_bridges) {
    pid_t noted = pid;
    bridge.compare_exchange_strong(noted, 0);
  }
}

}  // namespace

CalcWorkbook::CalcWorkbook(bool headless, int call_seconds, int start_seconds)
    : headless_(headless), call_seconds_(call_seconds), start_seconds_(start_seconds) {}

CalcWorkbook::~CalcWorkbook() {
  if (fd_ >= 0) {
    try {
      Call({"quit"}, 15);
    } catch (const SimError&) {
      // ending anyway
    }
  }
  Stop();
}

bool CalcWorkbook::Available() {
  struct stat st {};
  if (stat(kPython, &st) != 0) return false;
  const int status = std::system("/usr/bin/python3 -c 'import uno' >/dev/null 2>&1 && "
                                 "command -v soffice >/dev/null 2>&1");
  return status == 0;
}

void CalcWorkbook::Load(const std::string& path) {
  CheckReadableFile(path);  // Calc would wait without end on a FIFO
  path_ = path;
}

bool CalcWorkbook::IsRunning() {
  if (fd_ < 0) return false;
  const auto answer = Call({"running"}, call_seconds_);
  return answer.size() == 1 && answer[0] == "1";
}

void CalcWorkbook::Run() {
  if (IsEmpty()) throw SimError("Operation not allowed on an empty OLE container");
  Stop();
  int sockets[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) Fail(std::strerror(errno));
  const pid_t pid = fork();
  if (pid < 0) {
    close(sockets[0]);
    close(sockets[1]);
    Fail(std::strerror(errno));
  }
  if (pid == 0) {
    // The bridge and the Calc it starts form a process group, so both end together.
    setpgid(0, 0);
    dup2(sockets[1], STDIN_FILENO);
    dup2(sockets[1], STDOUT_FILENO);
    execl(kPython, kPython, "-u", "-c", kCalcBridgeScript, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(sockets[1]);
  pid_ = pid;
  NoteBridge(pid);
  fd_ = sockets[0];
  pending_.clear();
  Call({"open", path_, headless_ ? "1" : "0"}, start_seconds_);
}

void CalcWorkbook::WriteCells(const std::vector<Cell>& cells) {
  std::vector<std::string> request{"write"};
  for (const auto& [name, text] : cells) {
    request.push_back(name);
    request.push_back(text);
  }
  Call(request, call_seconds_);
}

std::vector<std::string> CalcWorkbook::ReadCells(const std::vector<std::string>& names) {
  std::vector<std::string> request{"read"};
  request.insert(request.end(), names.begin(), names.end());
  auto texts = Call(request, call_seconds_);
  if (texts.size() != names.size()) Fail("Calc answered " + std::to_string(texts.size()) + " cells for " +
                                         std::to_string(names.size()));
  return texts;
}

std::vector<std::string> CalcWorkbook::Call(const std::vector<std::string>& request, int seconds) {
  if (fd_ < 0) Fail("Calc is not running");
  std::string line;
  for (size_t i = 0; i < request.size(); ++i) line += (i ? "\t" : "") + Escape(request[i]);
  line += '\n';
  for (size_t done = 0; done < line.size();) {
    const ssize_t n = send(fd_, line.data() + done, line.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("the bridge to Calc has ended");
    done += static_cast<size_t>(n);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  size_t end;
  while ((end = pending_.find('\n')) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) Fail("Calc did not answer within " + std::to_string(seconds) + " s");
    pollfd p{fd_, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    char buf[4096];
    const ssize_t n = recv(fd_, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("the bridge to Calc has ended");
    pending_.append(buf, static_cast<size_t>(n));
  }
  const std::string answer = pending_.substr(0, end);
  pending_.erase(0, end + 1);
  auto fields = SplitAnswer(answer);
  if (fields[0] == "ok") return {fields.begin() + 1, fields.end()};
  if (fields[0] == "err" && fields.size() == 2) Fail(fields[1]);
  Fail("Calc answered nonsense");
}

void CalcWorkbook::Fail(const std::string& why) {
  Stop();
  throw AutomationError(why);
}

void CalcWorkbook::Stop() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (pid_ > 0) {
    // The end of its input (or quit) makes the bridge end its Calc and remove Calc's
    // profile and sockets; it is given the time that takes, then the whole group ends.
    for (int i = 0; i < 150 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i) usleep(100000);
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    ForgetBridge(pid_);
  }
  pid_ = -1;
  pending_.clear();
}

}  // namespace trevolan
