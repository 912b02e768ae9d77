// The process around the program: its first steps, the signals that ask it to end,
// its clock, and its end, which nothing may hold up.
#pragma once

#include <cstdint>

namespace platform::sdl {

// The process's first steps, before anything opens a descriptor: descriptors 0, 1
// and 2 open (on /dev/null where they were closed), so that no message can reach the
// display's connection; SIGTERM, SIGINT, SIGHUP and SIGQUIT caught, whenever they
// come and whoever blocked or ignored them before, as a request to end that the
// event-processing step honours; SIGPIPE ignored.
void PrepareProcess();
// True once one of those signals has come.
bool EndRequested();
// A steady clock, in nanoseconds.
uint64_t NowNs();
// Waits ns, or less where a signal comes meanwhile.
void SleepUnlessSignalled(uint64_t ns);
// Ends the process half a second from the first call, whatever holds it up meanwhile;
// a later call does not put it off. Every way out arms it; it is safe in a signal
// handler.
void ArmExitWatchdog();
// How long until the exit watchdog ends the process; 0 where it is not armed.
uint64_t ExitWatchdogDueInNs();
// Ends the process at once with status 0: the sound is halted first, and the window,
// the pointer and the display connection go with the process.
[[noreturn]] void EndProcess();

// Writes "<what>: <SDL's reason>" to standard error.
void Report(const char* what);

}  // namespace platform::sdl
