// The frame in the window's own surface, kept from frame to frame: only the dirty
// rectangles are drawn into it and sent to the display. The canvas's changed pixels
// are drawn where no control stands over them; a control is drawn anew where it
// changed (where it was and where it is), over the canvas only where its own back
// colour does not cover it. On an X server on this machine the frame is shared with
// the server, which draws the single changed pixels itself (X11Frame); elsewhere it
// is SDL's surface of the window, and each part, single pixels included, goes as SDL
// sends a rectangle.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/sdl/sdl_screen.h"
#include "platform/sdl/sdl_x11_frame.h"
#include "platform/shared/pixel_rect.h"

namespace platform::sdl {

class SurfaceScreen final : public Screen {
 public:
  // Null where the window has no surface of its own.
  static std::unique_ptr<SurfaceScreen> Start(SDL_Window* window, int scale);
  ~SurfaceScreen() override;

  const char* Name() const override { return "surface"; }
  Picture MakePicture(const uint32_t* argb, int width, int height, int pitch_bytes, int density = 1) override;
  void DrawCanvas(Canvas& canvas) override;
  void Fill(const SDL_Rect& rect, Colour colour) override;
  void Draw(const Picture& picture, const SDL_Rect& source, int x, int y, Colour tint = 0xFFFFFF) override;
  void Present() override;
  void Exposed() override { whole_ = true; }

  // The rectangles the last frame sent from the frame to the display, in its pixels
  // (not the single pixels an X server drew itself); no two intersect.
  const std::vector<SDL_Rect>& Sent() const { return sent_; }

 private:
  // What is drawn over the canvas, kept until Present.
  struct Op {
    SDL_Rect source;
    SDL_Rect target;       // in 96-DPI pixels, what it covers of the canvas
    SDL_Rect display;      // in the display's pixels, where it is drawn
    SDL_Surface* picture;  // null for a fill
    Colour colour;         // the fill's colour, or the picture's tint
  };

  SurfaceScreen(SDL_Window* window, int scale) : window_(window), k_(scale) {}
  SDL_Surface* Frame();
  // A rectangle in 96-DPI pixels as the display's pixels.
  SDL_Rect OnDisplay(const SDL_Rect& rect) const { return {rect.x * k_, rect.y * k_, rect.w * k_, rect.h * k_}; }

  // The steps of Present.
  void DrawWhole();
  void RedrawChangedControls();
  void PlaceChangedPixels();
  void DrawRedrawn();
  void Send();

  void Redraw(const SDL_Rect& rect);
  void DrawOp(const Op& op, const SDL_Rect& within);
  void CopyCanvas(const SDL_Rect& rect);
  void CopyCanvasBesideFills(const SDL_Rect& rect, size_t from);
  void Blit(SDL_Surface* from, const SDL_Rect& source, const SDL_Rect& target);

  SDL_Window* window_;
  int k_;  // display pixels to a 96-DPI pixel, each way
  std::unique_ptr<X11Frame> x11_frame_;
  // This frame's, from DrawCanvas to Present; null outside a frame.
  SDL_Surface* frame_ = nullptr;
  const Canvas* canvas_ = nullptr;
  bool whole_ = true;
  // Canvas pixels on their way to a frame that does not hold 0x..RRGGBB.
  SDL_Surface* rows_surface_ = nullptr;
  SDL_Surface* enlarged_ = nullptr;  // a picture's part on its way to the frame, enlarged
  std::vector<Op> ops_, last_ops_;   // what this frame and the last drew over the canvas
  // A picture made since the last frame may stand where an old one stood, at the same
  // address: every control is then drawn anew.
  uint64_t pictures_made_ = 0, pictures_seen_ = 0;
  std::vector<SDL_Rect> redrawn_;        // the parts drawn anew this frame, canvas and controls
  std::vector<SDL_Rect> sent_;           // this frame's rectangles to send, in the display's pixels
  std::vector<PixelRect> parts_;         // the same, clipped to the window, none intersecting another
  std::vector<X11Frame::Point> points_;  // and its single pixels, where the X server draws them
  std::vector<uint8_t> rows_with_ops_;   // the canvas rows that something this frame draws over
};

}  // namespace platform::sdl
