// The media command strings and the wave-sound call over SDL2_mixer.
// Implements: SdlMedia (Media, and the music device under the command interpreter).
#include "platform/sdl/sdl_media.h"

#include <SDL.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <dlfcn.h>

#include "platform/shared/host_path.h"
#include "platform/shared/small_file.h"
#include "platform/sdl/sdl_process.h"
#include "platform/shared/sound/sound_check.h"

namespace platform::sdl {

namespace {

// Debian's timgm6mb-soundfont. Set explicitly: the mixer's own default path may
// hold another font, and a bad font set after opening audio plays silence.
constexpr const char* kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr int kWaveChannel = 0;

bool IsFile(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

// FluidSynth writes a line to standard error for every note it cannot place, which
// for a hostile song is megabytes. Its messages come here instead: errors, a few
// at most; warnings and chatter, not at all. The library is the one the mixer loads.
using FluidLogFunction = void (*)(int level, const char* message, void* data);
void OnFluidLog(int level, const char* message, void* data) {
  constexpr int kFluidError = 1;
  int& shown = *static_cast<int*>(data);
  if (level <= kFluidError && shown < 3) {
    ++shown;
    std::fprintf(stderr, "music: %s\n", message);
  }
}

void QuietenFluidSynth(int* shown) {
  void* library = dlopen("libfluidsynth.so.3", RTLD_NOW | RTLD_LOCAL);
  if (!library) return;
  using SetLog = FluidLogFunction (*)(int, FluidLogFunction, void*);
  auto set_log = reinterpret_cast<SetLog>(dlsym(library, "fluid_set_log_function"));
  if (!set_log) return;
  for (int level = 0; level <= 4; ++level) set_log(level, OnFluidLog, shown);
}

class MixerDevice final : public AudioDevice {
 public:
  bool Open() override {
    if (IsFile(kSoundFont)) Mix_SetSoundFonts(kSoundFont);
    // Outside a login session (no XDG_RUNTIME_DIR) no per-user sound server can be
    // found, and PulseAudio's client library would make folders under the home
    // folder and /tmp looking for one. The user's own choice of driver still holds.
    if (!std::getenv("SDL_AUDIODRIVER") && !std::getenv("XDG_RUNTIME_DIR"))
      SDL_SetHint(SDL_HINT_AUDIODRIVER, "pipewire,alsa");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      Report("open audio");
      return false;
    }
    if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 2048) != 0) {
      Report("open audio");
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return false;
    }
    return true;
  }
  void Close() override {
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
};

}  // namespace

AudioDevice& AudioDevice::Mixer() {
  static MixerDevice mixer;
  return mixer;
}

SdlMedia::SdlMedia(std::string app_path, MemoryBudget& budget, bool shared, AudioDevice& device)
    : app_path_(app_path), budget_(budget), device_(device), interpreter_(*this, std::move(app_path)),
      shared_(shared) {}

SdlMedia::~SdlMedia() { Shutdown(); }

// A copy plays where it holds the display's sound, and where other users hold every
// name of it and none can decide.
bool SdlMedia::Claimed() const {
  return !shared_ || sound_.Held() || sound_.outcome() == NameClaim::Outcome::kHeldByOthers;
}

bool SdlMedia::MayPlay() {
  if (Claimed()) return true;
  if (audio_ == Audio::kFailed) return false;  // it let the sound go, for a copy that can play
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  sound_ = ClaimSound(SoundName(display && *display ? display : wayland ? wayland : "", unsigned(getuid())));
  return Claimed();
}

void SdlMedia::LetSoundGo() { sound_.Release(); }

void SdlMedia::Step(uint64_t now_ms, bool ending) {
  sound_.Answer();
  if (ending || Claimed() || (wanted_song_ == 0 && wanted_wave_.empty()) || now_ms < next_claim_ms_) return;
  next_claim_ms_ = now_ms + kClaimEveryMs;
  if (!MayPlay()) return;
  // The copy that played has gone: this one's own sound starts, from its start.
  if (wanted_song_ != 0) {
    PlayFromStart(wanted_song_);
  } else {
    const std::string wave = wanted_wave_;
    sndPlaySound(wave.c_str(), wanted_flags_);
  }
}

bool SdlMedia::OpenAudio() {
  if (audio_ != Audio::kClosed) return audio_ == Audio::kOpen;
  audio_ = Audio::kFailed;
  // A copy that cannot play lets the display's sound go, for another to take.
  if (!device_.Open()) {
    LetSoundGo();
    return false;
  }
  Mix_AllocateChannels(1);
  QuietenFluidSynth(&fluid_messages_shown_);
  audio_ = Audio::kOpen;
  return true;
}

uint32_t SdlMedia::mciSendString(const std::string& command) { return interpreter_.Send(command); }

int SdlMedia::Open(const std::string& host_path, uint32_t* error) {
  const bool may_play = MayPlay();
  if (may_play && !OpenAudio()) {
    *error = mci::kHardware;
    return 0;
  }
  if (!IsFile(kSoundFont)) {
    std::fprintf(stderr, "music: no soundfont at %s\n", kSoundFont);
    *error = mci::kCannotLoadDriver;
    return 0;
  }
  const sound::MidiLimits limits;
  std::string why;
  std::optional<std::vector<uint8_t>> bytes = ReadSmallFile(host_path, limits.max_file_bytes, &why);
  Cost cost;
  if (!bytes || !sound::CheckMidi(bytes->data(), bytes->size(), limits, &why, &cost)) {
    ReportRefused(host_path, why);
    *error = mci::kInvalidFile;
    return 0;
  }
  if (!budget_.Admit(host_path, cost)) {
    *error = mci::kInvalidFile;
    return 0;
  }
  // The song plays from its bytes in memory, which live as long as it does.
  Song& song = music_[next_id_];
  song.bytes = std::move(*bytes);
  song.path = host_path;
  if (may_play && !Load(song)) {
    music_.erase(next_id_);
    *error = mci::kInvalidFile;
    return 0;
  }
  return next_id_++;
}

bool SdlMedia::Load(Song& song) {
  if (song.music) return true;
  if (!OpenAudio()) return false;
  song.music = Mix_LoadMUSType_RW(SDL_RWFromConstMem(song.bytes.data(), int(song.bytes.size())), MUS_MID, 1);
  if (!song.music) ReportRefused(song.path, Mix_GetError());
  return song.music != nullptr;
}

uint32_t SdlMedia::PlayFromStart(int id) {
  const auto found = music_.find(id);
  if (found == music_.end()) return mci::kInvalidDeviceName;
  wanted_song_ = id;
  if (!MayPlay()) return mci::kOk;
  if (!Load(found->second)) return mci::kHardware;
  return Mix_PlayMusic(found->second.music, 0) == 0 ? mci::kOk : mci::kHardware;
}

void SdlMedia::Close(int id) {
  const auto found = music_.find(id);
  if (found == music_.end()) return;
  if (id == wanted_song_) wanted_song_ = 0;
  if (found->second.music) {
    Mix_HaltMusic();
    Mix_FreeMusic(found->second.music);
  }
  music_.erase(found);
}

void SdlMedia::StopWave() {
  if (audio_ == Audio::kOpen) Mix_HaltChannel(kWaveChannel);
}

Mix_Chunk* SdlMedia::Wave(const std::string& path) {
  // Decoded once per path: a later activation restarts the same wave, whatever has
  // become of the file meanwhile.
  const auto known = waves_.find(path);
  if (known != waves_.end()) return known->second;
  Mix_Chunk*& wave = waves_[path];
  sound::WaveLimits limits;
  std::string why;
  const std::optional<std::vector<uint8_t>> bytes = ReadSmallFile(path, limits.max_file_bytes, &why);
  if (!bytes) {
    ReportRefused(path, why);
    return nullptr;
  }
  if (!OpenAudio()) return nullptr;
  int rate = 0, channels = 0;
  uint16_t format = 0;
  Mix_QuerySpec(&rate, &format, &channels);
  limits.device_rate = rate;
  limits.device_channels = channels;
  limits.device_sample_bytes = SDL_AUDIO_BITSIZE(format) / 8;
  Cost cost;
  if (!sound::CheckWave(bytes->data(), bytes->size(), limits, &why, &cost)) {
    ReportRefused(path, why);
    return nullptr;
  }
  if (!budget_.Admit(path, cost)) return nullptr;
  wave = Mix_LoadWAV_RW(SDL_RWFromConstMem(bytes->data(), int(bytes->size())), 1);
  if (!wave) ReportRefused(path, Mix_GetError());
  return wave;
}

bool SdlMedia::sndPlaySound(const char* name, uint32_t flags) {
  StopWave();
  wanted_wave_.clear();
  if (!name) return true;
  if ((flags & SND_LOOP) && (flags & SND_ASYNC)) {
    wanted_wave_ = name;
    wanted_flags_ = flags;
  }
  if (!MayPlay()) return true;
  // SND_NODEFAULT or not, a file that cannot be played is silence: there is no
  // default sound here to play instead.
  Mix_Chunk* wave = Wave(HostPath(name, app_path_));
  if (!wave) return false;
  const bool loop = (flags & SND_LOOP) && (flags & SND_ASYNC);
  if (Mix_PlayChannel(kWaveChannel, wave, loop ? -1 : 0) < 0) return false;
  if (!(flags & SND_ASYNC))
    while (Mix_Playing(kWaveChannel)) SDL_Delay(5);
  return true;
}

void SdlMedia::Shutdown() {
  LetSoundGo();
  if (audio_ != Audio::kOpen) return;
  Mix_HaltMusic();
  Mix_HaltChannel(-1);
  for (auto& [id, song] : music_) Mix_FreeMusic(song.music);
  music_.clear();
  for (auto& [path, wave] : waves_)
    if (wave) Mix_FreeChunk(wave);
  waves_.clear();
  device_.Close();
  audio_ = Audio::kClosed;
}

}  // namespace platform::sdl
