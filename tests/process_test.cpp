// The process's end: signals that ask it to end, whoever blocked or ignored them
// before it started, and the exit watchdog, which a later signal does not put off.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "platform/sdl/sdl_process.h"

namespace {

using platform::sdl::ExitWatchdogDueInNs;
using platform::sdl::EndRequested;
using platform::sdl::PrepareProcess;

// Each case runs in a child of its own, whose signals it changes: its exit status
// says what it found, 0 where every check held.
int InChild(int (*body)()) {
  const pid_t child = fork();
  if (child == 0) _exit(body());
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST(Process, AnEndSignalBlockedOrIgnoredByWhoeverStartedItStillAsksItToEnd) {
  EXPECT_EQ(InChild([] {
              sigset_t set;
              sigemptyset(&set);
              sigaddset(&set, SIGTERM);
              sigprocmask(SIG_BLOCK, &set, nullptr);
              signal(SIGHUP, SIG_IGN);
              PrepareProcess();
              signal(SIGALRM, SIG_IGN);  // the exit watchdog, which would end the child, is not what is tested
              kill(getpid(), SIGTERM);
              if (!EndRequested()) return 1;
              return 0;
            }),
            0)
      << "a SIGTERM blocked before the start did not ask it to end";
  EXPECT_EQ(InChild([] {
              signal(SIGHUP, SIG_IGN);
              PrepareProcess();
              signal(SIGALRM, SIG_IGN);
              kill(getpid(), SIGHUP);
              return EndRequested() ? 0 : 1;
            }),
            0)
      << "a SIGHUP ignored before the start did not ask it to end";
}

TEST(Process, TheExitWatchdogCountsFromTheFirstRequestToEnd) {
  EXPECT_EQ(InChild([] {
              PrepareProcess();
              signal(SIGALRM, SIG_IGN);
              if (ExitWatchdogDueInNs() != 0) return 1;  // not armed before any request
              kill(getpid(), SIGTERM);
              const uint64_t first = ExitWatchdogDueInNs();
              if (first == 0 || first > 500'000'000u) return 2;
              usleep(100'000);
              kill(getpid(), SIGINT);
              const uint64_t second = ExitWatchdogDueInNs();
              // A second request leaves it where the first set it, 100 ms nearer.
              return second + 90'000'000u <= first ? 0 : 3;
            }),
            0);
}

}  // namespace
