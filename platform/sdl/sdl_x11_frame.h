// The surface road's frame on a local X server: the window's pixels in memory shared
// with the server, sent as one request for any number of rectangles, each a clip
// rectangle of one put of their bounding box. SDL's own frame sends a request for
// each rectangle, and a frame of falling dots changes hundreds of single pixels.
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

  // The frame, of the window's size now: made anew, black, where the size changed.
  // Null where the server refused the memory; the frame is then of no further use.
  SDL_Surface* Surface();
  // Sends those parts of the frame to the window, and returns once the server has
  // taken them, so that the frame may be drawn into again.
  void Send(const std::vector<SDL_Rect>& rects);

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

}  // namespace platform::sdl
