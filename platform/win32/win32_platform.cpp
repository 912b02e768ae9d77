// Assembles the Win32 platform: the pointer, the media calls and the system
// services as the original platform provides them, and the budget the pictures share.
// Implements: Win32Platform, and its pointer, media and system.
#include "platform/win32/win32_platform.h"

#include <windows.h>
#include <mmsystem.h>
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include "platform/shared/memory_budget.h"
#include "platform/shared/std_random.h"
#include "platform/win32/win32_window.h"

// The engine's calls bear the names of the ANSI functions, which the Windows
// headers define as macros for their wide forms.
#undef mciSendString
#undef sndPlaySound

namespace platform::win32 {

namespace {

class Win32Pointer final : public Pointer {
 public:
  int ShowCursor(bool show) override { return ::ShowCursor(show ? TRUE : FALSE); }
};

// The engine's command strings and wave calls reach the media layer unchanged.
class Win32Media final : public Media {
 public:
  uint32_t mciSendString(const std::string& command) override {
    return mciSendStringA(command.c_str(), nullptr, 0, nullptr);
  }
  bool sndPlaySound(const char* name, uint32_t flags) override { return sndPlaySoundA(name, flags) != FALSE; }
};

class Win32System final : public System {
 public:
  explicit Win32System(std::string_view name) : name_(name) {}
  ~Win32System() override {
    if (mutex_) CloseHandle(mutex_);
  }

  // A named mutex per user session and deliverable, released when the process ends.
  bool PrevInstance() override {
    if (mutex_) return false;
    const std::string mutex_name = "Local\\dotfall." + name_;
    mutex_ = CreateMutexA(nullptr, FALSE, mutex_name.c_str());
    return mutex_ && GetLastError() == ERROR_ALREADY_EXISTS;
  }

  std::string AppPath() override {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, n);
    const size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? "." : folder.substr(0, slash);
  }

 protected:
  void EndProgram() override { ExitProcess(0); }

 private:
  std::string name_;
  HANDLE mutex_ = nullptr;
};

}  // namespace

struct Win32Platform::Parts {
  explicit Parts(std::string_view name) : system(name) {}
  Win32Pointer pointer;
  Win32Media media;
  StdRandom random;
  Win32System system;
  MemoryBudget budget;  // what the pictures may take together
  ULONG_PTR gdiplus = 0;
};

Win32Platform::Win32Platform(std::string_view program_name) : parts_(std::make_unique<Parts>(program_name)) {
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&parts_->gdiplus, &input, nullptr);
  timeBeginPeriod(1);  // the loop's wait for the next refresh ends within a millisecond
}

Win32Platform::~Win32Platform() {
  timeEndPeriod(1);
  Gdiplus::GdiplusShutdown(parts_->gdiplus);
}

std::unique_ptr<Window> Win32Platform::CreateForm(const FormLayout& layout, EventSink& sink) {
  return std::make_unique<Win32Window>(layout, sink, parts_->budget);
}

Pointer& Win32Platform::pointer() { return parts_->pointer; }
Media& Win32Platform::media() { return parts_->media; }
Random& Win32Platform::random() { return parts_->random; }
System& Win32Platform::system() { return parts_->system; }

}  // namespace platform::win32
