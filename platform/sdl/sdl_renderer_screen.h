// The frame composed by an SDL renderer: the canvas texture (its dirty tiles
// uploaded), then the controls over it, presented whole. On a GPU the present waits
// for the display's refresh.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sdl/sdl_screen.h"

namespace platform::sdl {

class RendererScreen final : public Screen {
 public:
  // The renderer named, or the display's first that takes flags where none is;
  // null where SDL has none (SDL_GetError says why).
  static std::unique_ptr<RendererScreen> Start(SDL_Window* window, int scale, uint32_t flags,
                                               std::string_view name = {});
  ~RendererScreen() override;

  // The name of its GL, where it draws with GL in a context of its own; else empty.
  std::string GlName() const;

  const char* Name() const override;
  Picture MakePicture(const uint32_t* argb, int width, int height, int pitch_bytes, int density = 1) override;
  void DrawCanvas(Canvas& canvas) override;
  void Fill(const SDL_Rect& rect, Colour colour) override;
  void Draw(const Picture& picture, const SDL_Rect& source, int x, int y, Colour tint = 0xFFFFFF) override;
  void Present() override;

 private:
  RendererScreen(SDL_Renderer* renderer, int scale) : renderer_(renderer), k_(scale) {}
  bool MakeCanvasTexture(int width, int height);

  SDL_Renderer* renderer_;
  int k_;  // display pixels to a 96-DPI pixel, each way
  SDL_Texture* canvas_texture_ = nullptr;
  int texture_w_ = 0, texture_h_ = 0;
  std::vector<uint32_t> rows_;  // canvas pixels on their way to the texture, row by row
  bool drawn_ = false;          // a frame has been drawn since the last present
};

}  // namespace platform::sdl
