// The sounds over SDL2_mixer: the command strings' songs and the looping waves.
#pragma once

#include <SDL_mixer.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl/name_claim.h"
#include "platform/shared/event_step.h"
#include "platform/shared/mci/mci_interpreter.h"
#include "platform/shared/memory_budget.h"

namespace platform::sdl {

// The audio device, behind one interface so that a test may have it fail as a system
// would.
class AudioDevice {
 public:
  virtual ~AudioDevice() = default;
  // SDL_mixer's: the system's audio driver, the mixer at 44.1 kHz in stereo, and the
  // General MIDI soundfont for the music.
  static AudioDevice& Mixer();

  // Opens it; false, with one line on standard error, where it cannot be.
  virtual bool Open() = 0;
  virtual void Close() = 0;
};

// Music through SDL2_mixer's FluidSynth backend with the General MIDI soundfont set
// explicitly, waves on a mixer channel. The audio device opens with the first sound
// that needs it and closes at Shutdown.
//
// Copies that a host runs side by side, one a monitor, share the display's one
// sound: the copy that claims it first plays, and the others do everything else
// alike but keep silent. When the one that plays has gone, the first of the others
// to claim it at its next step plays its own sound from the start.
class SdlMedia final : public Media, public StepChore, mci::MusicDevice {
 public:
  // Sounds are admitted within budget, which the pictures share.
  SdlMedia(std::string app_path, MemoryBudget& budget, bool shared, AudioDevice& device = AudioDevice::Mixer());
  ~SdlMedia() override;
  // A step of the program's loop: a silent copy asks for the sound, a few times a
  // second, while it has one to play and is not ending.
  void Step(uint64_t now_ms, bool ending) override;
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
  bool Claimed() const;
  bool MayPlay();  // whether this copy plays, claiming the sound where it may

  std::string app_path_;
  MemoryBudget& budget_;
  AudioDevice& device_;
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
  NameClaim sound_;  // the display's sound
  uint64_t next_claim_ms_ = 0;
  int wanted_song_ = 0;       // the song played and not yet closed
  std::string wanted_wave_;   // the wave looping until stopped
  uint32_t wanted_flags_ = 0;
};

}  // namespace platform::sdl
