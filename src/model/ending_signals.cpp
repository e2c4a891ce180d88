#include "model/ending_signals.h"

#include <signal.h>

#include <atomic>
#include <cerrno>
#include <mutex>

namespace trevolan {

namespace {

std::atomic<void (*)()> g_actions[8];
struct sigaction g_previous[NSIG];
constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};

void RunActionsThenPrevious(int sig, siginfo_t* info, void* context) {
  const int saved_errno = errno;
  for (const auto& action : g_actions) {
    if (void (*const run)() = action.load()) run();
  }
  const struct sigaction& old = g_previous[sig];
  if (old.sa_flags & SA_SIGINFO) {
    if (old.sa_sigaction) old.sa_sigaction(sig, info, context);
  } else if (old.sa_handler == SIG_DFL) {
    sigaction(sig, &old, nullptr);
    raise(sig);  // delivered with the default action as soon as this handler returns
  } else if (old.sa_handler != SIG_IGN) {
    old.sa_handler(sig);
  }
  errno = saved_errno;
}

void InstallHandlers() {
  for (const int sig : kEndingSignals) {
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) != 0 || (!(old.sa_flags & SA_SIGINFO) && old.sa_handler == SIG_IGN)) {
      continue;
    }
    g_previous[sig] = old;
    struct sigaction mine {};
    mine.sa_sigaction = RunActionsThenPrevious;
    mine.sa_flags = SA_SIGINFO | SA_RESTART;
    sigfillset(&mine.sa_mask);
    sigaction(sig, &mine, nullptr);
  }
}

}  // namespace

void OnEndingSignal(void (*action)()) {
  static std::mutex adding;
  const std::lock_guard<std::mutex> lock(adding);
  for (auto& slot : g_actions) {
    void (*const present)() = slot.load();
    if (present == action) return;
    if (present == nullptr) {
      slot.store(action);
      break;
    }
  }
  static std::once_flag once;
  std::call_once(once, InstallHandlers);
}

}  // namespace trevolan
