// The media command strings and the wave-sound call.
// Implements: SdlMedia (no sound device yet: every command reports a failure).
#include "platform/sdl/sdl_parts.h"

namespace platform::sdl {

SdlMedia::~SdlMedia() { Shutdown(); }

uint32_t SdlMedia::mciSendString(const std::string&) { return 274; }

bool SdlMedia::sndPlaySound(const char*, uint32_t) { return false; }

void SdlMedia::Shutdown() {}

}  // namespace platform::sdl
