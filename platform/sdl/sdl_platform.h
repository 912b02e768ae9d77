// The real platform: SDL2 for the window, input and pointer, giflib for the
// sprites, SDL2_ttf with fontconfig for the banner, SDL2_mixer for the sound.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace platform::sdl {

class SdlPlatform final : public Platform {
 public:
  // Starts the window layer. With no display it says so on standard error and
  // exits with status 1.
  explicit SdlPlatform(std::string_view program_name);
  ~SdlPlatform() override;

  std::unique_ptr<Window> CreateForm(const FormLayout& layout, EventSink& sink) override;
  Pointer& pointer() override;
  Media& media() override;
  Random& random() override;
  System& system() override;

  struct Parts;

 private:
  std::unique_ptr<Parts> parts_;
};

}  // namespace platform::sdl
