// The pieces of the SDL platform, one per concern, as SdlPlatform assembles them.
#pragma once

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/shared/monitor_plan.h"
#include "platform/sdl/sdl_road.h"
#include "platform/sdl/sdl_scale.h"
#include "platform/shared/memory_budget.h"
#include "platform/shared/mci/mci_interpreter.h"
#include "platform/platform.h"
#include "platform/shared/std_random.h"

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

// The name of the display's one sound, per user and display (":1" and ":1.0" are
// one display).
std::string SoundName(std::string_view display, unsigned uid);
// Holds that name, or the first of its next few names that no other user holds, as a
// listening descriptor whose connections the holder answers; -1 where a process of
// this user holds it; kSoundUnclaimed where other users hold every one, and the
// sound is this copy's to play. Whoever connects learns the holder's user from the
// kernel, and a name that does not answer is this user's only where a process of
// this user has its socket open: a name that someone else binds, jams or floods is
// passed over.
constexpr int kSoundUnclaimed = -2;
int ClaimSound(const std::string& name);

// The window named by XSCREENSAVER_WINDOW (decimal or 0x hex), or 0 for none.
uintptr_t HostWindowFromEnvironment();

// Music through SDL2_mixer's FluidSynth backend with the General MIDI soundfont set
// explicitly, waves on a mixer channel. The audio device opens with the first sound
// that needs it and closes at Shutdown.
//
// Copies that a host runs side by side, one a monitor, share the display's one
// sound: the copy that claims it first plays, and the others do everything else
// alike but keep silent. When the one that plays has gone, the first of the others
// to claim it at its next step plays its own sound from the start.
class SdlMedia final : public Media, mci::MusicDevice {
 public:
  // Sounds are admitted within budget, which the pictures share.
  SdlMedia(std::string app_path, MemoryBudget& budget, bool shared);
  ~SdlMedia() override;
  // A step of the program's loop: a silent copy asks for the sound, a few times a
  // second, while it has one to play.
  void Step(uint64_t now_ms);
  uint32_t mciSendString(const std::string& command) override;
  bool sndPlaySound(const char* name, uint32_t flags) override;
  // Halts what plays and closes the audio device, if it was ever opened.
  void Shutdown();

  // The music device under the command strings.
  int Open(const std::string& host_path, uint32_t* error) override;
  uint32_t PlayFromStart(int id) override;
  void Close(int id) override;

 private:
  bool OpenAudio();
  void LetSoundGo();
  void StopWave();
  bool Speaking();  // whether this copy plays, claiming the sound where it may

  std::string app_path_;
  MemoryBudget& budget_;
  mci::Interpreter interpreter_;
  enum class Audio { kClosed, kOpen, kFailed } audio_ = Audio::kClosed;
  Mix_Chunk* Wave(const std::string& path);  // decoded, or null where refused

  struct Song {
    Mix_Music* music = nullptr;  // loaded once this copy plays
    std::vector<uint8_t> bytes;  // the file, which the music reads as it plays
    std::string path;
  };
  bool Load(Song& song);
  std::map<int, Song> music_;
  int next_id_ = 1;
  std::map<std::string, Mix_Chunk*> waves_;  // by path; null for a refused file
  int fluid_messages_shown_ = 0;

  static constexpr uint64_t kClaimEveryMs = 200;
  bool shared_;
  int claim_ = -1;  // the display's sound, once this copy holds it
  uint64_t next_claim_ms_ = 0;
  int wanted_song_ = 0;       // the song played and not yet closed
  std::string wanted_wave_;   // the wave looping until stopped
  uint32_t wanted_flags_ = 0;
};

class SdlSystem final : public System {
 public:
  // A hosted program never finds a previous instance: a host may run one per screen.
  SdlSystem(std::string program_name, bool hosted);
  ~SdlSystem() override;
  bool PrevInstance() override;
  std::string AppPath() override { return app_path_; }
  void EndProgram() override;

  static std::string ProgramFolder();

 private:
  static bool AnotherCopyRuns();

  std::string program_name_;
  std::string app_path_;
  bool hosted_;
  int instance_socket_ = -1;
};

// The process's first steps, before anything opens a descriptor: descriptors 0, 1
// and 2 open (on /dev/null where they were closed), so that no message can reach the
// display's connection; SIGTERM, SIGINT, SIGHUP and SIGQUIT caught, whenever they
// come, as a request to end that the event-processing step honours; SIGPIPE ignored.
void PrepareProcess();
// True once one of those signals has come.
bool EndRequested();
// A steady clock, in nanoseconds.
uint64_t NowNs();
// Waits ns, or less where a signal comes meanwhile.
void SleepUnlessSignalled(uint64_t ns);
// Takes and closes every connection waiting on a name this process holds (fd), so
// that no one can fill its queue and so make the next copy miss it.
void AnswerConnections(int fd);
// The same for the instance name, if this process holds it.
void AnswerOtherCopies();
// Ends the process half a second from the first call, whatever holds it up meanwhile.
// Every way out arms it; it is safe in a signal handler.
void ArmBackstop();
// Ends the process at once with status 0: the sound is halted first, and the window,
// the pointer and the display connection go with the process.
[[noreturn]] void EndProcess();

// On X11: replaces Xlib's and SDL's error handlers, once SDL's video has started.
// BadWindow or BadDrawable about the watched window marks it lost (WindowLost); about
// another window, it is ignored; any other error is reported on one line and
// ignored; a lost connection to the server ends the process (EndProcess). Elsewhere
// it does nothing.
void GuardXlib(SDL_Window* window);
// On X11: asks for notice of window's destruction, which then arrives as an
// SDL_SYSWMEVENT that IsDestruction recognises, and of its exposure, which SDL
// reports as SDL_WINDOWEVENT_EXPOSED (for a host's window SDL asks for neither).
// Should SDL replace the native window later (a GL renderer wants one of its own),
// the old one's destruction is no destruction: the new one is watched instead.
void WatchWindow(SDL_Window* window);
bool IsDestruction(const SDL_SysWMmsg* message);
// True once an X error said that the window is gone.
bool WindowLost();

// On X11 with RandR 1.5: the monitors, the primary marked. Elsewhere, or where the
// server cannot tell, none.
std::vector<Monitor> X11Monitors(SDL_Window* window);
// On X11: the refresh rate of the mode of the monitor under the window's centre, as
// its pixel clock over its total width and height; 0 where the server tells none
// (Xvfb's modes have no clock).
double X11RefreshHz(SDL_Window* window);
// On X11: where the pointer is on the desktop now, asked of the server.
bool X11Pointer(SDL_Window* window, int* x, int* y);
// On X11: asks for notice of every change of monitors, outputs and modes, and of
// every motion of a pointing device (XInput 2.1's raw motion).
void WatchMonitors(SDL_Window* window);
// Whether such a notice of monitors has come since the last call. It never waits,
// unless asked for every notice sent up to now, which takes a round trip.
bool MonitorsChanged(bool up_to_now);
// Whether a pointing device has moved since the last call, as far as the notices
// taken so far tell: never where the server tells no device's motion.
bool DeviceMoved();
// On X11: makes a window, not mapped yet, one that the server keeps black and that
// never takes the keyboard, full screen where a window manager places it. False
// elsewhere, where the cover has to be painted.
bool MakeCoverX11(SDL_Window* window);

// Whether SDL's video runs on X11.
bool IsX11();
// On X11: asks that the window, not mapped yet, be mapped full-screen. SDL's own
// full-screen flag would instead ask once the window is mapped, and then wait up
// to 100 ms for a window manager to move and resize a window that already has the
// desktop's place and size: a wait in which the first frame cannot be shown.
void AskForFullScreenAtMapping(SDL_Window* window);

// On X11: whether the server offers DRI3 or DRI2, and its GLX vendor, asked
// without loading GL. Elsewhere it adds nothing.
void AddX11Facts(SDL_Window* window, DisplayFacts* facts);
// On X11: the XSETTINGS window-scaling factor and the resources' Xft.dpi, as the
// desktop sets them for every program. Elsewhere it adds nothing.
void AddX11Density(SDL_Window* window, DensityFacts* facts);

// Writes "<what>: <SDL's reason>" to standard error.
void Report(const char* what);

}  // namespace platform::sdl
