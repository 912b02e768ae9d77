// Where the form's frame is put together and shown. Two kinds of screen draw it:
// a renderer's (sdl_renderer_screen), which composes every frame from the canvas
// texture and presents it whole, at the display's refresh where it is a GPU's; and
// the window's own surface (sdl_surface_screen), which keeps its pixels from frame to
// frame and draws and sends only the dirty rectangles. MakeScreen chooses one from
// what the display tells (ChooseScreen).
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <utility>

#include "platform/canvas.h"
#include "platform/colour.h"
#include "platform/sdl/sdl_screen_kind.h"

namespace platform::sdl {

// One picture the frame is drawn from: a sprite's frame or the banner's line, with
// its own alpha. Made by a screen, in the form that screen draws from: a texture
// for a renderer, a surface for the window's own surface.
class Picture {
 public:
  Picture() = default;
  Picture(SDL_Texture* texture, SDL_Surface* surface, int width, int height, int density)
      : texture_(texture), surface_(surface), width_(width), height_(height), density_(density) {}
  Picture(Picture&& other) noexcept { *this = std::move(other); }
  Picture& operator=(Picture&& other) noexcept;
  ~Picture();

  explicit operator bool() const { return texture_ || surface_; }
  SDL_Texture* texture() const { return texture_; }
  SDL_Surface* surface() const { return surface_; }
  int width() const { return width_; }
  int height() const { return height_; }
  // Its pixels to a 96-DPI pixel: 1 for pixel art, which the screen enlarges to its
  // scale; the scale itself for what was made at the display's own density.
  int density() const { return density_; }

 private:
  SDL_Texture* texture_ = nullptr;
  SDL_Surface* surface_ = nullptr;
  int width_ = 0, height_ = 0;
  int density_ = 1;
};

// Places and sizes are given in 96-DPI pixels; each becomes scale x scale of the
// display's.
class Screen {
 public:
  virtual ~Screen() = default;

  // "surface", or the name of the renderer.
  virtual const char* Name() const = 0;

  // A picture of width x height pixels, 0xAARRGGBB rows pitch_bytes apart, with
  // density of them to a 96-DPI pixel; an empty picture (and one line on standard
  // error) where the display refuses it.
  virtual Picture MakePicture(const uint32_t* argb, int width, int height, int pitch_bytes, int density = 1) = 0;

  // One frame: DrawCanvas (which takes the canvas's changes), then what is drawn over
  // it, bottom first, then Present. Present without a DrawCanvas before it shows
  // nothing new.
  virtual void DrawCanvas(Canvas& canvas) = 0;
  virtual void Fill(const SDL_Rect& rect, Colour colour) = 0;
  // The source part of picture (in its own pixels) with its top-left corner at x, y,
  // its colours multiplied by tint (white leaves them).
  virtual void Draw(const Picture& picture, const SDL_Rect& source, int x, int y, Colour tint = 0xFFFFFF) = 0;
  virtual void Present() = 0;

  // The display lost what the window showed (it was covered, or mapped anew): the
  // next frame is drawn whole.
  virtual void Exposed() {}
};

// The screen for the window, chosen by ChooseScreen from what its display tells;
// SDL_RENDER_DRIVER, where set, names a renderer. Where the chosen one cannot start,
// the window's surface is tried, then any renderer the display offers (a Wayland
// compositor gives a window no surface). Ends the program where none starts.
std::unique_ptr<Screen> MakeScreen(SDL_Window* window, int scale = 1);
// The same, from the facts given.
std::unique_ptr<Screen> MakeScreen(SDL_Window* window, DisplayFacts facts, int scale = 1);

}  // namespace platform::sdl
