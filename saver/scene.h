// What one deliverable is: its name, its sound, its numbers, how it answers a
// second copy and input, and its layout. The engine reads these and nothing else.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/layout.h"

namespace saver {

// What start-up does when another copy of the deliverable already runs.
enum class SecondInstance : uint8_t { kUnloadAndReturn, kExitSaver };

// What an input handler does to end the program.
enum class EndAction : uint8_t {
  kExitSaver,                // the shutdown procedure
  kShowPointerThenUnload,    // ShowCursor TRUE, then unload the window
  kShowPointerThenEnd,       // ShowCursor TRUE, then end at once
};

enum class SoundStart : uint8_t { kNever, kMusicAtStartUp, kWaveAtActivation };
enum class SoundStop : uint8_t { kNone, kCloseMusic, kStopWave };

struct Scene {
  std::string_view name;       // "divor", ...
  SecondInstance second_instance;
  EndAction key_or_button_end;
  EndAction movement_end;

  std::string_view pictures[4];  // literals for AniGif1 .. AniGif4, "\..."
  std::string_view sound_file;   // "\walk.wav", "\song.mid", or empty
  SoundStart sound_start;
  SoundStop sound_stop;

  int16_t DotCount;
  double RespawnSpread;  // S in a respawned speed of 5 + S * r
  float BottomMargin;
  bool stack_anigif3;    // AniGif3 stands on AniGif2 at activation
  float StackGap;
  bool sprites_move;
  float WalkStep, FlyStep, WalkRestart, FlyOvershoot, FlyRestart;

  platform::FormLayout layout;
};

}  // namespace saver
