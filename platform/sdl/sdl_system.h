// The system services over SDL and POSIX: the program's folder, the previous-instance
// test and the end; and the pointer's display count.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "platform/sdl/name_claim.h"
#include "platform/shared/event_step.h"

namespace platform::sdl {

// The display count. Over a host's window the pointer is the host's: the count is
// kept and nothing is shown or hidden.
class SdlPointer final : public Pointer {
 public:
  explicit SdlPointer(bool hosted) : hosted_(hosted) {}
  int ShowCursor(bool show) override;

 private:
  bool hosted_;
  int count_ = 0;
};

// The window named by XSCREENSAVER_WINDOW (decimal or 0x hex), or 0 for none.
uintptr_t HostWindowFromEnvironment();

// A program's instance name is per user and deliverable; the copy that holds it
// answers, at each step, whoever asks.
class SdlSystem final : public System, public StepChore {
 public:
  // A hosted program never finds a previous instance: a host may run one per screen.
  SdlSystem(std::string program_name, bool hosted);
  bool PrevInstance() override;
  std::string AppPath() override { return app_path_; }
  void EndProgram() override;
  void Step(uint64_t, bool) override { instance_.Answer(); }

  static std::string ProgramFolder();

 private:
  std::string program_name_;
  std::string app_path_;
  bool hosted_;
  NameClaim instance_;
};

}  // namespace platform::sdl
