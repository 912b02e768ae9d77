// The surface road's frame on a local X server: the window's pixels in memory shared
// with the server, sent as one request for any number of rectangles, each a clip
// rectangle of one put of their bounding box; and single pixels drawn by the server
// itself, a request for each colour. SDL's own frame sends a request for each
// rectangle, and a frame of falling dots changes hundreds of single pixels, each on
// a page of its own of the frame.
#pragma once

#include <SDL.h>

#include <memory>
#include <vector>

namespace platform::sdl {

class X11Frame {
 public:
  // Null unless the window is on an X server on this machine that offers MIT-SHM,
  // with a visual of 32 bits a pixel holding 0x..RRGGBB.
  static std::unique_ptr<X11Frame> For(SDL_Window* window);
  ~X11Frame();
  X11Frame(const X11Frame&) = delete;
  X11Frame& operator=(const X11Frame&) = delete;

  // The frame, of the window's size now, to be drawn into: made anew, black, where
  // the size changed, else once the server has done what was last sent from it.
  // Null where the server refused the memory; the frame is then of no further use.
  SDL_Surface* Surface();
  // A pixel of the window's to be made one colour, size x size from its place.
  struct Point {
    int x, y;
    uint32_t rgb;  // 0xRRGGBB
  };
  // Sends those parts of the frame to the window, then has the server draw the
  // points (reordering them, grouped by colour), which the frame need not hold.
  // Nothing is waited for: the server has long done the put by the next frame's
  // Surface().
  void Send(const std::vector<SDL_Rect>& rects, std::vector<Point>& points, int size);

 private:
  struct Shared;
  X11Frame(SDL_Window* window, std::unique_ptr<Shared> shared);
  bool Make(int width, int height);
  void Free();

  SDL_Window* window_;
  std::unique_ptr<Shared> shared_;
  SDL_Surface* surface_ = nullptr;
  bool refused_ = false;
};

// Groups points by colour, in the order they came within each, the colours from the
// highest down: black comes last, so that the pixel a falling dot left goes black
// only once the one it reached has its colour, and no dot is missing from the screen
// between two requests. scratch is room to work in.
void GroupByColour(std::vector<X11Frame::Point>& points, std::vector<X11Frame::Point>& scratch);

}  // namespace platform::sdl
