// The media command strings and the wave-sound call over SDL2_mixer.
// Implements: SdlMedia (Media, and the music device under the command interpreter).
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "platform/host_path.h"
#include "platform/riff.h"
#include "platform/sdl/sdl_parts.h"

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

}  // namespace

SdlMedia::SdlMedia(std::string app_path)
    : app_path_(app_path), interpreter_(*this, std::move(app_path)) {}

SdlMedia::~SdlMedia() { Shutdown(); }

bool SdlMedia::OpenAudio() {
  if (audio_ != Audio::kClosed) return audio_ == Audio::kOpen;
  audio_ = Audio::kFailed;
  have_soundfont_ = IsFile(kSoundFont);
  if (have_soundfont_) Mix_SetSoundFonts(kSoundFont);
  // Outside a login session (no XDG_RUNTIME_DIR) no per-user sound server can be
  // found, and PulseAudio's client library would make folders under the home folder
  // and /tmp looking for one. The user's own choice of driver still holds.
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
  Mix_AllocateChannels(1);
  audio_ = Audio::kOpen;
  return true;
}

uint32_t SdlMedia::mciSendString(const std::string& command) { return interpreter_.Send(command); }

int SdlMedia::Open(const std::string& host_path, uint32_t* error) {
  if (!OpenAudio()) {
    *error = mci::kHardware;
    return 0;
  }
  if (!have_soundfont_) {
    std::fprintf(stderr, "music: no soundfont at %s\n", kSoundFont);
    *error = mci::kCannotLoadDriver;
    return 0;
  }
  Mix_Music* music = Mix_LoadMUSType_RW(SDL_RWFromFile(host_path.c_str(), "rb"), MUS_MID, 1);
  if (!music) {
    *error = mci::kInvalidFile;
    return 0;
  }
  music_[next_id_] = music;
  return next_id_++;
}

uint32_t SdlMedia::PlayFromStart(int id) {
  const auto found = music_.find(id);
  if (found == music_.end()) return mci::kInvalidDeviceName;
  return Mix_PlayMusic(found->second, 0) == 0 ? mci::kOk : mci::kHardware;
}

void SdlMedia::Close(int id) {
  const auto found = music_.find(id);
  if (found == music_.end()) return;
  Mix_HaltMusic();
  Mix_FreeMusic(found->second);
  music_.erase(found);
}

void SdlMedia::StopWave() {
  if (audio_ == Audio::kOpen) Mix_HaltChannel(kWaveChannel);
  if (wave_) Mix_FreeChunk(wave_);
  wave_ = nullptr;
}

bool SdlMedia::sndPlaySound(const char* name, uint32_t flags) {
  StopWave();
  if (!name) return true;
  // SND_NODEFAULT or not, a file that cannot be played is silence: there is no
  // default sound here to play instead.
  const std::string path = HostPath(name, app_path_);
  if (!IsFile(path.c_str()) || !RiffIsWhole(path) || !OpenAudio()) return false;
  wave_ = Mix_LoadWAV(path.c_str());
  if (!wave_) return false;
  const bool loop = (flags & SND_LOOP) && (flags & SND_ASYNC);
  if (Mix_PlayChannel(kWaveChannel, wave_, loop ? -1 : 0) < 0) return false;
  if (!(flags & SND_ASYNC))
    while (Mix_Playing(kWaveChannel)) SDL_Delay(5);
  return true;
}

void SdlMedia::Shutdown() {
  if (audio_ != Audio::kOpen) return;
  Mix_HaltMusic();
  Mix_HaltChannel(-1);
  for (auto& [id, music] : music_) Mix_FreeMusic(music);
  music_.clear();
  if (wave_) Mix_FreeChunk(wave_);
  wave_ = nullptr;
  Mix_CloseAudio();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  audio_ = Audio::kClosed;
}

}  // namespace platform::sdl
