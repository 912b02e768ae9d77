// The frame over SDL: a GPU renderer, or the window's own surface.
// Implements: Screen, Picture.
#include "platform/sdl/sdl_screen.h"

#include <glob.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

#include "platform/sdl/sdl_process.h"
#include "platform/sdl/sdl_x11.h"

namespace platform::sdl {

namespace {

// The GL renderer's own name, where renderer draws with GL in a context of its own.
std::string GlRendererName(SDL_Renderer* renderer) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(renderer, &info) != 0 || !IsGlRenderer(info.name)) return {};
  using GetString = const unsigned char* (*)(unsigned);
  constexpr unsigned kGlRenderer = 0x1F01;
  auto get_string = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  const char* name = get_string ? reinterpret_cast<const char*>(get_string(kGlRenderer)) : nullptr;
  return name ? name : "";
}

DisplayFacts FactsOf(SDL_Window* window) {
  DisplayFacts facts;
  const char* driver = SDL_GetCurrentVideoDriver();
  facts.video_driver = driver ? driver : "";
  glob_t nodes{};
  facts.render_node = glob("/dev/dri/renderD*", 0, nullptr, &nodes) == 0 && nodes.gl_pathc > 0;
  globfree(&nodes);
  AddX11Facts(window, &facts);
  const char* named = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
  facts.render_driver = named ? named : "";
  return facts;
}

}  // namespace

// --- pictures ---

Picture& Picture::operator=(Picture&& other) noexcept {
  if (this != &other) {
    this->~Picture();
    texture_ = std::exchange(other.texture_, nullptr);
    surface_ = std::exchange(other.surface_, nullptr);
    width_ = other.width_;
    height_ = other.height_;
    density_ = other.density_;
  }
  return *this;
}

Picture::~Picture() {
  if (texture_) SDL_DestroyTexture(texture_);
  if (surface_) SDL_FreeSurface(surface_);
  texture_ = nullptr;
  surface_ = nullptr;
}

// --- choosing the road ---

// Where a road cannot start, the next is tried: the surface, then whatever renderer
// the display offers (a Wayland compositor gives a window no surface).
Screen::Screen(SDL_Window* window, int scale) : Screen(window, FactsOf(window), scale) {}

Screen::Screen(SDL_Window* window, DisplayFacts facts, int scale) : window_(window), k_(scale) {
  bool started = false;
  switch (ChooseRoad(facts)) {
    case Road::kRenderer:
      // A GL renderer waits for the refresh, as the GPU road does.
      started = StartRenderer(IsGlRenderer(facts.render_driver) ? SDL_RENDERER_PRESENTVSYNC : 0,
                              facts.render_driver);
      if (!started)
        std::fprintf(stderr, "the renderer SDL_RENDER_DRIVER=%s names: %s; drawing without it\n",
                     facts.render_driver.c_str(), SDL_GetError());
      break;
    case Road::kGpu:
      // Only a renderer's own context tells its GL's name: a software rasteriser
      // found there gives the road up where the table says so.
      if (StartRenderer(SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC)) {
        facts.gl_renderer = GlRendererName(renderer_);
        started = ChooseRoad(facts) == Road::kGpu;
        if (!started) {
          SDL_DestroyRenderer(renderer_);
          renderer_ = nullptr;
        }
      }
      break;
    case Road::kSurface:
      break;
  }
  started = started || StartSurface() || StartRenderer(0);
  if (!started) {
    Report("draw on the window");
    std::exit(1);
  }
}

bool Screen::StartRenderer(uint32_t flags, std::string_view name) {
  int index = -1;
  for (int i = 0; !name.empty() && i < SDL_GetNumRenderDrivers(); ++i) {
    SDL_RendererInfo info;
    if (SDL_GetRenderDriverInfo(i, &info) == 0 && name == info.name) index = i;
  }
  if (!name.empty() && index < 0) {
    SDL_SetError("no such renderer");
    return false;
  }
  renderer_ = SDL_CreateRenderer(window_, index, flags);
  return renderer_ != nullptr;
}

bool Screen::StartSurface() {
  // The surface must be the display's own memory (shared with the X server), not a
  // texture that SDL would present through OpenGL.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_GetWindowSurface(window_)) return true;
  SDL_ResetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION);
  return false;
}

Screen::~Screen() {
  if (canvas_surface_) SDL_FreeSurface(canvas_surface_);
  if (canvas_texture_) SDL_DestroyTexture(canvas_texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
}

const char* Screen::Road() const {
  if (!renderer_) return "surface";
  SDL_RendererInfo info;
  return SDL_GetRendererInfo(renderer_, &info) == 0 ? info.name : "?";
}

Picture Screen::MakePicture(const uint32_t* argb, int width, int height, int pitch_bytes, int density) {
  Picture picture;
  picture.density_ = density;
  if (renderer_) {
    picture.texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                                         width, height);
    if (!picture.texture_) {
      Report("picture texture");
      return picture;
    }
    SDL_SetTextureBlendMode(picture.texture_, SDL_BLENDMODE_BLEND);
    SDL_SetTextureScaleMode(picture.texture_, SDL_ScaleModeNearest);  // pixel art stays sharp
    SDL_UpdateTexture(picture.texture_, nullptr, argb, pitch_bytes);
  } else {
    picture.surface_ = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!picture.surface_) {
      Report("picture");
      return picture;
    }
    SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_ARGB8888, argb, pitch_bytes, SDL_PIXELFORMAT_ARGB8888,
                      picture.surface_->pixels, picture.surface_->pitch);
    SDL_SetSurfaceBlendMode(picture.surface_, SDL_BLENDMODE_BLEND);
  }
  picture.width_ = width;
  picture.height_ = height;
  ++pictures_made_;
  return picture;
}

// --- one frame ---

void Screen::DrawCanvas(Canvas& canvas) {
  canvas.TakeChanges();
  if (renderer_)
    DrawCanvasOnRenderer(canvas);
  else
    DrawCanvasOnSurface(canvas);
  canvas.ClearDirty();
}

void Screen::DrawCanvasOnRenderer(Canvas& canvas) {
  if (!canvas_texture_ || texture_w_ != canvas.WidthPx() || texture_h_ != canvas.HeightPx()) {
    if (canvas_texture_) SDL_DestroyTexture(canvas_texture_);
    canvas_texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                                        canvas.WidthPx(), canvas.HeightPx());
    if (!canvas_texture_) {
      Report("create canvas");
      std::exit(1);
    }
    texture_w_ = canvas.WidthPx();
    texture_h_ = canvas.HeightPx();
    SDL_SetTextureScaleMode(canvas_texture_, SDL_ScaleModeNearest);  // a dot covers k x k pixels
    SDL_UpdateTexture(canvas_texture_, nullptr, canvas.Pixels(), canvas.PitchBytes());
  } else {
    canvas.ForEachDirtyRun([&](int x, int y, int w, int h) {
      const SDL_Rect run{x, y, w, h};
      SDL_UpdateTexture(canvas_texture_, &run, canvas.Pixels() + size_t(y) * size_t(canvas.WidthPx()) + size_t(x),
                        canvas.PitchBytes());
    });
  }
  const SDL_Rect whole = OnDisplay({0, 0, texture_w_, texture_h_});
  SDL_RenderCopy(renderer_, canvas_texture_, nullptr, &whole);
}

void Screen::DrawCanvasOnSurface(Canvas& canvas) {
  ops_.clear();
  changed_.clear();
  sent_.clear();
  frame_ = SDL_GetWindowSurface(window_);
  if (!frame_) return;  // the window is going; nothing is drawn into it
  // A surface made anew (the window changed size, or changed it and back) starts
  // blank and is drawn whole. It is known by the mark this screen leaves on each
  // surface it draws into, since a new one may well take the old one's memory.
  if (frame_->userdata != this) {
    whole_ = true;
    frame_->userdata = this;
  }
  if (!canvas_surface_ || canvas_pixels_ != canvas.Pixels() || canvas_surface_->w != canvas.WidthPx() ||
      canvas_surface_->h != canvas.HeightPx()) {
    if (canvas_surface_) SDL_FreeSurface(canvas_surface_);
    // Read as 0x..RRGGBB, so that copying to an X visual of depth 24 is a plain copy.
    canvas_surface_ = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(canvas.Pixels()), canvas.WidthPx(),
                                                         canvas.HeightPx(), 32, canvas.PitchBytes(),
                                                         SDL_PIXELFORMAT_RGB888);
    canvas_pixels_ = canvas.Pixels();
    if (!canvas_surface_) {
      Report("canvas");
      std::exit(1);
    }
    SDL_SetSurfaceBlendMode(canvas_surface_, SDL_BLENDMODE_NONE);
    whole_ = true;
  }
  if (whole_ || canvas.AllChanged()) {
    whole_ = true;
    changed_.push_back({0, 0, (frame_->w + k_ - 1) / k_, (frame_->h + k_ - 1) / k_});
    return;
  }
  // Each pixel that changed goes to the display by itself: a falling dot changes two
  // pixels a frame, far apart, and the display's cost is by the row.
  const uint32_t width = uint32_t(canvas.WidthPx());
  for (const uint32_t at : canvas.Changed()) changed_.push_back({int(at % width), int(at / width), 1, 1});
}

void Screen::Fill(const SDL_Rect& rect, Colour colour) {
  const SDL_Rect display = OnDisplay(rect);
  if (renderer_) {
    SDL_SetRenderDrawColor(renderer_, uint8_t(RedOf(colour)), uint8_t(GreenOf(colour)), uint8_t(BlueOf(colour)),
                           255);
    SDL_RenderFillRect(renderer_, &display);
    return;
  }
  ops_.push_back({{}, rect, display, nullptr, colour});
}

void Screen::Draw(const Picture& picture, const SDL_Rect& source, int x, int y, Colour tint) {
  const SDL_Rect display{x * k_, y * k_, source.w * k_ / picture.density_, source.h * k_ / picture.density_};
  if (picture.texture_) {
    SDL_SetTextureColorMod(picture.texture_, uint8_t(RedOf(tint)), uint8_t(GreenOf(tint)), uint8_t(BlueOf(tint)));
    SDL_RenderCopy(renderer_, picture.texture_, &source, &display);
    return;
  }
  // What it covers of the canvas: every 96-DPI pixel it touches.
  const SDL_Rect target{x, y, (display.w + k_ - 1) / k_, (display.h + k_ - 1) / k_};
  if (picture.surface_) ops_.push_back({source, target, display, picture.surface_, tint});
}

void Screen::Present() {
  if (renderer_) return SDL_RenderPresent(renderer_);
  if (!frame_) return;
  if (whole_ || !SameOps() || !CopyChangesBesideControls()) {
    // What lay over the canvas last frame is taken away, and this frame's drawn anew.
    if (!whole_)
      for (const SDL_Rect& rect : covered_) CopyCanvas(rect);
    for (const SDL_Rect& rect : changed_) CopyCanvas(rect);
    covered_.clear();
    for (const Op& op : ops_) {
      if (op.picture) {
        SDL_SetSurfaceColorMod(op.picture, uint8_t(RedOf(op.colour)), uint8_t(GreenOf(op.colour)),
                               uint8_t(BlueOf(op.colour)));
        Blit(op.picture, op.source, op.display);
      } else {
        SDL_Rect to = op.display;
        SDL_FillRect(frame_, &to, SDL_MapRGB(frame_->format, uint8_t(RedOf(op.colour)),
                                             uint8_t(GreenOf(op.colour)), uint8_t(BlueOf(op.colour))));
      }
      covered_.push_back(op.target);
      sent_.push_back(op.display);
    }
  }
  // Only what lies on the window goes to the display.
  const SDL_Rect bounds{0, 0, frame_->w, frame_->h};
  size_t kept = 0;
  for (size_t i = 0; i < sent_.size(); ++i) {
    const SDL_Rect rect = sent_[i];
    if (SDL_IntersectRect(&rect, &bounds, &sent_[kept])) ++kept;
  }
  sent_.resize(kept);
  if (kept > 0) SDL_UpdateWindowSurfaceRects(window_, sent_.data(), int(kept));
  last_ops_.swap(ops_);
  pictures_seen_ = pictures_made_;
  whole_ = false;
}

bool Screen::SameOps() const {
  if (pictures_made_ != pictures_seen_ || ops_.size() != last_ops_.size()) return false;
  auto same = [](const SDL_Rect& a, const SDL_Rect& b) { return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h; };
  for (size_t i = 0; i < ops_.size(); ++i) {
    const Op &a = ops_[i], &b = last_ops_[i];
    if (a.picture != b.picture || a.colour != b.colour || !same(a.source, b.source) || !same(a.target, b.target))
      return false;
  }
  return true;
}

// Where nothing over the canvas changed, the changed parts of the canvas that no
// fill hides are copied, and the controls stay as they are. False, having copied
// nothing, where a changed part would show through a picture that is not on a fill.
bool Screen::CopyChangesBesideControls() {
  uncovered_.clear();
  for (const SDL_Rect& rect : changed_) Uncovered(rect, 0);
  for (const SDL_Rect& rect : uncovered_)
    for (const Op& op : ops_)
      if (op.picture && SDL_HasIntersection(&rect, &op.target)) return false;
  for (const SDL_Rect& rect : uncovered_) CopyCanvas(rect);
  return true;
}

// Adds to uncovered_ the parts of rect that no fill from ops_[from] on covers.
void Screen::Uncovered(const SDL_Rect& rect, size_t from) {
  for (size_t i = from; i < ops_.size(); ++i) {
    const SDL_Rect& fill = ops_[i].target;
    if (ops_[i].picture || !SDL_HasIntersection(&rect, &fill)) continue;
    const int top = rect.y, bottom = rect.y + rect.h, left = rect.x, right = rect.x + rect.w;
    const int fill_top = std::max(top, fill.y), fill_bottom = std::min(bottom, fill.y + fill.h);
    if (fill_top > top) Uncovered({left, top, rect.w, fill_top - top}, i + 1);
    if (fill_bottom < bottom) Uncovered({left, fill_bottom, rect.w, bottom - fill_bottom}, i + 1);
    if (fill.x > left) Uncovered({left, fill_top, fill.x - left, fill_bottom - fill_top}, i + 1);
    if (fill.x + fill.w < right)
      Uncovered({fill.x + fill.w, fill_top, right - (fill.x + fill.w), fill_bottom - fill_top}, i + 1);
    return;
  }
  uncovered_.push_back(rect);
}

void Screen::CopyCanvas(const SDL_Rect& rect) {
  const SDL_Rect display = OnDisplay(rect);
  sent_.push_back(display);
  // A single pixel is copied by hand where the frame holds 0x..RRGGBB as the canvas
  // does: a blit's own cost would be most of the frame's.
  const bool plain = frame_->format->format == SDL_PIXELFORMAT_RGB888 ||
                     frame_->format->format == SDL_PIXELFORMAT_ARGB8888;
  if (rect.w != 1 || rect.h != 1 || !plain || display.x + k_ > frame_->w || display.y + k_ > frame_->h)
    return Blit(canvas_surface_, rect, display);
  const uint32_t colour = canvas_pixels_[size_t(rect.y) * size_t(canvas_surface_->w) + size_t(rect.x)];
  auto* row = static_cast<uint8_t*>(frame_->pixels) + size_t(display.y) * size_t(frame_->pitch);
  for (int y = 0; y < k_; ++y, row += frame_->pitch)
    std::fill_n(reinterpret_cast<uint32_t*>(row) + display.x, k_, colour);
}

// Nearest-neighbour where the sizes differ: pixel art and dots stay sharp.
void Screen::Blit(SDL_Surface* from, const SDL_Rect& source, const SDL_Rect& target) {
  SDL_Rect in = source, out = target;
  if (in.w == out.w && in.h == out.h)
    SDL_BlitSurface(from, &in, frame_, &out);
  else
    SDL_BlitScaled(from, &in, frame_, &out);
}

}  // namespace platform::sdl
