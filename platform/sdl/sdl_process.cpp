// The process: its first steps, the signals that ask it to end, its clock, the
// exit watchdog and the end. Implements what sdl_process.h declares.
#include "platform/sdl/sdl_process.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace platform::sdl {

namespace {

// Set by a signal handler, which may run on any of the process's threads (the
// sound libraries start their own).
std::atomic<bool> end_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// A request to end: the next event-processing step closes the window. Should the
// program not get there (stuck in a library, a frozen display), the exit watchdog ends
// it half a second later; the sound goes with it.
void OnEndSignal(int) {
  end_requested = true;
  ArmExitWatchdog();
}

void OnOverdue(int) { _exit(0); }

// The exit watchdog's timer, made at the start (making one is not safe in a signal
// handler; setting it is). Half a second: the program is gone well within a second
// of the request, however late the system is to run the handler.
constexpr long kExitWatchdogNs = 500'000'000;
timer_t watchdog;
bool watchdog_made = false;

constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};

}  // namespace

void PrepareProcess() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open takes the lowest free number, which is fd itself.
    const int opened = open("/dev/null", O_RDWR);
    if (opened >= 0 && opened != fd) {
      dup2(opened, fd);
      close(opened);
    }
  }
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  action.sa_handler = OnEndSignal;
  for (int sig : kEndSignals) sigaction(sig, &action, nullptr);
  action.sa_handler = OnOverdue;
  sigaction(SIGALRM, &action, nullptr);
  sigevent overdue{};
  overdue.sigev_notify = SIGEV_SIGNAL;
  overdue.sigev_signo = SIGALRM;
  watchdog_made = timer_create(CLOCK_MONOTONIC, &overdue, &watchdog) == 0;
  // A reader that went away (a closed pipe on standard error) is no reason to end.
  action.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &action, nullptr);
  // A signal ignored or blocked by whoever started the program must still end it.
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kEndSignals) sigaddset(&set, sig);
  sigaddset(&set, SIGALRM);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

bool EndRequested() { return end_requested; }

uint64_t NowNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return uint64_t(now.tv_sec) * 1'000'000'000u + uint64_t(now.tv_nsec);
}

void SleepUnlessSignalled(uint64_t ns) {
  const timespec wait{time_t(ns / 1'000'000'000u), long(ns % 1'000'000'000u)};
  nanosleep(&wait, nullptr);  // EINTR: the signal is seen at the next step
}

void ArmExitWatchdog() {
  // Counted from the first ending: a later one does not defer it.
  if (!watchdog_made) {
    const unsigned pending = alarm(0);
    alarm(pending ? pending : 1);
    return;
  }
  itimerspec due{};
  timer_gettime(watchdog, &due);
  if (due.it_value.tv_sec != 0 || due.it_value.tv_nsec != 0) return;
  due.it_value.tv_nsec = kExitWatchdogNs;
  timer_settime(watchdog, 0, &due, nullptr);
}

uint64_t ExitWatchdogDueInNs() {
  if (!watchdog_made) {  // the alarm, read and set again
    const unsigned left = alarm(0);
    alarm(left);
    return uint64_t(left) * 1'000'000'000u;
  }
  itimerspec due{};
  timer_gettime(watchdog, &due);
  return uint64_t(due.it_value.tv_sec) * 1'000'000'000u + uint64_t(due.it_value.tv_nsec);
}

void EndProcess() {
  // The sound stops first, where it is audible; the window, the pointer and the
  // display connection go with the process, without waiting for the window system.
  // Halting the music waits for the synthesizer's callback, which the exit watchdog bounds.
  ArmExitWatchdog();
  if (Mix_QuerySpec(nullptr, nullptr, nullptr) != 0) {
    Mix_HaltMusic();
    Mix_HaltChannel(-1);
  }
  std::fflush(nullptr);
#if defined(__SANITIZE_ADDRESS__)
  // A leak check cut short by the exit watchdog would pass for one that found nothing.
  if (watchdog_made) timer_delete(watchdog);
  alarm(0);
  __lsan_do_leak_check();
#endif
  _exit(0);
}

void Report(const char* what) {
  std::fprintf(stderr, "%s: %s\n", what, SDL_GetError());
}

}  // namespace platform::sdl
