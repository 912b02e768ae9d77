// The window surface's frame on a local X server: the window's pixels in memory shared
// with the server, sent as one request for any number of rectangles that intersect
// nowhere, each a clip rectangle of one put of their bounding box; and single pixels drawn by the server
// itself, a request or two for each bit of their colours. SDL's own frame sends a
// request for each rectangle, and a frame of falling dots changes hundreds of single
// pixels, each on a page of its own of the frame.
#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>
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
  // points. The parts are one clip list, and no two of them may intersect.
  //
  // The points the server draws never reach the frame: a part sent later that was
  // not drawn anew into the frame first would show what the frame held before them.
  // So every part sent is first drawn into the frame whole, from the canvas and the
  // controls. Nothing is waited for: the server has long done the put by the next
  // frame's Surface().
  void Send(const std::vector<SDL_Rect>& rects, const std::vector<Point>& points, int size);

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

// The draws that give a frame's points their colours, a request each. The server
// spends far more on a request than on the points in it, and the dots have a hundred
// greys but eight bits of grey: so the points that are to have a colour first go
// black, then have the bits of their colours or-ed in, those of one weight and one
// pattern of red, green and blue at a time. The points that are to be black go black
// last, so that the pixel a falling dot left goes black only once the one it reached
// has its colour, and no dot is missing from the screen between two requests.
class PointDraws {
 public:
  void Take(const std::vector<X11Frame::Point>& points);
  // Calls draw(or_in, rgb, points) for each draw in turn: or_in, the colour is or-ed
  // into the points; else they are made that colour.
  template <typename Draw>
  void ForEach(Draw&& draw) const {
    if (!lit_.empty()) draw(false, 0u, lit_);
    for (size_t group = 0; group < bits_.size(); ++group)
      if (!bits_[group].empty()) draw(true, BitsOf(group), bits_[group]);
    if (!black_.empty()) draw(false, 0u, black_);
  }

 private:
  // The group of a weight, 0 to 7, and a pattern of its bits, 0x010101 or less.
  static size_t Group(int weight, uint32_t pattern) {
    return size_t(weight) * 8 + ((pattern >> 14) | (pattern >> 7) | pattern) % 8;
  }
  static uint32_t BitsOf(size_t group) {
    const uint32_t pattern = group % 8;
    return ((pattern & 4) << 14 | (pattern & 2) << 7 | (pattern & 1)) << (group / 8);
  }

  std::vector<X11Frame::Point> lit_, black_;
  std::array<std::vector<X11Frame::Point>, 8 * 8> bits_;  // a pattern of none stays empty
};

}  // namespace platform::sdl
