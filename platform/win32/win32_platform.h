// The platform on Windows itself: a Win32 popup window with a DIB section for its
// pixels and a message pump for its event step, GDI+ for the sprites, GDI for the
// banner, and ShowCursor, mciSendStringA and sndPlaySoundA as they are.
#pragma once

#include <memory>
#include <string_view>

#include "platform/platform.h"

namespace platform::win32 {

class Win32Platform final : public Platform {
 public:
  explicit Win32Platform(std::string_view program_name);
  ~Win32Platform() override;

  std::unique_ptr<Window> CreateForm(const FormLayout& layout, EventSink& sink) override;
  Pointer& pointer() override;
  Media& media() override;
  Random& random() override;
  System& system() override;

  struct Parts;

 private:
  std::unique_ptr<Parts> parts_;
};

}  // namespace platform::win32
