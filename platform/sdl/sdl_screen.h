// Where the form's frame is put together and shown, on one of two roads.
//
// Where the display offers a GPU renderer that waits for its refresh, every frame is
// composed on the GPU from the canvas texture and presented whole. Elsewhere (no
// direct rendering, a software rasteriser, a remote display) the frame keeps its
// pixels from frame to frame: only the canvas pixels that changed, and the controls
// where they changed, are drawn into it, and only those rectangles are sent to the
// display. It is a frame shared with the X server where that runs on this machine
// (which then draws the single pixels itself), else SDL's surface of the window.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/canvas.h"
#include "platform/sdl/sdl_road.h"
#include "platform/sdl/sdl_x11_frame.h"
#include "platform/colour.h"
#include "platform/shared/pixel_rect.h"

namespace platform::sdl {

class Screen;

// One picture the frame is drawn from: a sprite's frame or the banner's line, with
// its own alpha. Made by the screen, for its road.
class Picture {
 public:
  Picture() = default;
  Picture(Picture&& other) noexcept { *this = std::move(other); }
  Picture& operator=(Picture&& other) noexcept;
  ~Picture();

  explicit operator bool() const { return texture_ || surface_; }
  int width() const { return width_; }
  int height() const { return height_; }
  // Its pixels to a 96-DPI pixel: 1 for pixel art, which the screen enlarges to its
  // scale; the scale itself for what was made at the display's own density.
  int density() const { return density_; }

 private:
  friend class Screen;
  SDL_Texture* texture_ = nullptr;  // a renderer's road
  SDL_Surface* surface_ = nullptr;  // the surface road
  int width_ = 0, height_ = 0;
  int density_ = 1;
};

class Screen {
 public:
  // Chooses the road for the window from what its display tells (ChooseRoad);
  // SDL_RENDER_DRIVER, where set, chooses a renderer. Ends the program when the
  // window can be drawn on no road. Places and sizes are given in 96-DPI pixels, and
  // each becomes scale x scale of the display's.
  explicit Screen(SDL_Window* window, int scale = 1);
  // The same, from the facts given.
  Screen(SDL_Window* window, DisplayFacts facts, int scale = 1);
  ~Screen();
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  // "surface", or the name of the renderer.
  const char* Road() const;

  // A picture of width x height pixels, 0xAARRGGBB rows pitch_bytes apart, with
  // density of them to a 96-DPI pixel; an empty picture (and one line on standard
  // error) where the display refuses it.
  Picture MakePicture(const uint32_t* argb, int width, int height, int pitch_bytes, int density = 1);

  // One frame: the canvas first (taking its changed tiles, and clearing their
  // marks), then what is drawn over it in order, then Present.
  void DrawCanvas(Canvas& canvas);
  void Fill(const SDL_Rect& rect, Colour colour);
  // The source part of picture (in its own pixels) with its top-left corner at x, y,
  // its colours multiplied by tint (white leaves them).
  void Draw(const Picture& picture, const SDL_Rect& source, int x, int y, Colour tint = 0xFFFFFF);
  void Present();
  // The display lost what the window showed (it was covered, or mapped anew): the
  // next frame is drawn and sent whole.
  void Exposed() { whole_ = true; }
  // On the surface road, the rectangles the last frame sent from the frame to the
  // display, in its pixels (not the single pixels an X server drew itself); no two
  // intersect.
  const std::vector<SDL_Rect>& Sent() const { return sent_; }

 private:
  // The renderer named, or the display's first that takes flags where none is.
  bool StartRenderer(uint32_t flags, std::string_view name = {});
  bool StartSurface();
  void DrawCanvasOnRenderer(Canvas& canvas);
  void DrawCanvasOnSurface(Canvas& canvas);

  // A rectangle in 96-DPI pixels as the display's pixels.
  SDL_Rect OnDisplay(const SDL_Rect& rect) const { return {rect.x * k_, rect.y * k_, rect.w * k_, rect.h * k_}; }
  void Blit(SDL_Surface* from, const SDL_Rect& source, const SDL_Rect& target);

  SDL_Window* window_;
  int k_;  // display pixels to a 96-DPI pixel, each way
  SDL_Renderer* renderer_ = nullptr;  // the GPU road (or whatever renderer a display insists on)
  SDL_Texture* canvas_texture_ = nullptr;
  int texture_w_ = 0, texture_h_ = 0;
  std::vector<uint32_t> rows_;  // canvas pixels on their way to the texture, row by row

  // The surface road. Drawing over the canvas is kept until Present, which draws
  // it only where it differs from the last frame's.
  struct Op {
    SDL_Rect source;
    SDL_Rect target;       // in 96-DPI pixels, what it covers of the canvas
    SDL_Rect display;      // in the display's pixels, where it is drawn
    SDL_Surface* picture;  // null for a fill
    Colour colour;         // the fill's colour, or the picture's tint
  };
  static bool SameOp(const Op& a, const Op& b);
  void Redraw(const SDL_Rect& rect);
  void DrawOp(const Op& op, const SDL_Rect& within);
  void CopyCanvas(const SDL_Rect& rect);
  void CopyCanvasBesideFills(const SDL_Rect& rect, size_t from);

  SDL_Surface* Frame();
  std::unique_ptr<X11Frame> x11_frame_;
  SDL_Surface* frame_ = nullptr;  // this frame's
  bool whole_ = true;
  const Canvas* canvas_ = nullptr;  // this frame's
  // Canvas pixels on their way to a frame that does not hold 0x..RRGGBB.
  SDL_Surface* rows_surface_ = nullptr;
  SDL_Surface* enlarged_ = nullptr;  // a picture's part on its way to the frame, enlarged
  std::vector<Canvas::At> changed_;  // this frame's changed pixels, unless it is drawn whole
  std::vector<Op> ops_, last_ops_;  // what this frame and the last drew over the canvas
  uint64_t pictures_made_ = 0, pictures_seen_ = 0;
  std::vector<SDL_Rect> redrawn_;  // the parts drawn anew this frame, canvas and controls
  std::vector<SDL_Rect> sent_;     // this frame's rectangles to send, in the display's pixels
  std::vector<PixelRect> parts_;   // the same, clipped to the window, none intersecting another
  std::vector<X11Frame::Point> points_;  // and its single pixels, where the X server draws them
  std::vector<uint8_t> rows_with_ops_;    // the canvas rows that something this frame draws over
};

}  // namespace platform::sdl
