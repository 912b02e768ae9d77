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

// The window's surface is the display's own memory (on X11, shared with the server),
// never a texture SDL would present through GL: a software GL costs a core, and
// spends seconds over a window that a host has destroyed. Where the display gives
// the window no surface of its own, start fails; SDL decides only once whether a
// surface may be a texture, so none is made for what starts after.
template <typename Start>
bool OnDisplaysOwnSurface(Start start) {
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (start()) return true;
  SDL_ResetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION);
  return false;
}

// Makes surface, if need be, one of at least w x h pixels of the format.
bool AtLeast(SDL_Surface*& surface, int w, int h, uint32_t format) {
  if (surface && surface->w >= w && surface->h >= h && surface->format->format == format) return true;
  const int width = std::max(w, surface ? surface->w : 0), height = std::max(h, surface ? surface->h : 0);
  if (surface) SDL_FreeSurface(surface);
  surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, format);
  return surface != nullptr;
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
      if (IsGlRenderer(facts.render_driver)) {
        started = StartRenderer(SDL_RENDERER_PRESENTVSYNC, facts.render_driver);
      } else {
        // SDL's software renderer draws into the window's surface, which X11 gives
        // every window; elsewhere it is left to SDL to make one.
        const std::string_view name = facts.render_driver;
        started = facts.video_driver == "x11" ? OnDisplaysOwnSurface([&] { return StartRenderer(0, name); })
                                              : StartRenderer(0, name);
      }
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
  return OnDisplaysOwnSurface([this] {
    x11_frame_ = X11Frame::For(window_);
    return Frame() != nullptr;
  });
}

Screen::~Screen() {
  if (rows_surface_) SDL_FreeSurface(rows_surface_);
  if (enlarged_) SDL_FreeSurface(enlarged_);
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
    // Drawn as runs: a sprite's clear pixels are passed over and its solid ones
    // copied, at a third of the cost of blending each. (SDL keeps a picture it
    // tints or enlarges as it is.)
    SDL_SetSurfaceRLE(picture.surface_, 1);
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
  const bool fresh = !canvas_texture_ || texture_w_ != canvas.WidthPx() || texture_h_ != canvas.HeightPx();
  if (fresh) {
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
  }
  auto upload = [&](int x, int y, int w, int h) {
    rows_.resize(size_t(w) * size_t(h));
    canvas.CopyRows(x, y, w, h, 1, {rows_.data(), size_t(w), x, y, w, h});
    const SDL_Rect run{x, y, w, h};
    SDL_UpdateTexture(canvas_texture_, &run, rows_.data(), w * 4);
  };
  if (fresh || canvas.AllChanged())
    upload(0, 0, texture_w_, texture_h_);
  else
    canvas.ForEachDirtyRun(upload);
  const SDL_Rect whole = OnDisplay({0, 0, texture_w_, texture_h_});
  SDL_RenderCopy(renderer_, canvas_texture_, nullptr, &whole);
}

void Screen::DrawCanvasOnSurface(Canvas& canvas) {
  ops_.clear();
  changed_.clear();
  sent_.clear();
  points_.clear();
  frame_ = Frame();
  if (!frame_) return;  // the window is going; nothing is drawn into it
  // A surface made anew (the window changed size, or changed it and back) starts
  // blank and is drawn whole. It is known by the mark this screen leaves on each
  // surface it draws into, since a new one may well take the old one's memory.
  if (frame_->userdata != this) {
    whole_ = true;
    frame_->userdata = this;
  }
  canvas_ = &canvas;
  whole_ = whole_ || canvas.AllChanged();  // new, or of a new size
  // Each pixel that changed goes to the display by itself: a falling dot changes two
  // pixels a frame, far apart, and the display's cost is by the row.
  if (!whole_) changed_.assign(canvas.Changed().begin(), canvas.Changed().end());
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
  if (!frame_) return;  // no DrawCanvas since the last frame, or a window going
  redrawn_.clear();
  if (whole_) {
    CopyCanvas({0, 0, (frame_->w + k_ - 1) / k_, (frame_->h + k_ - 1) / k_});
    for (const Op& op : ops_) {
      DrawOp(op, op.display);
      sent_.push_back(op.display);
    }
  } else {
    // Where a control changed, where it was and where it is are drawn anew.
    const size_t count = std::max(ops_.size(), last_ops_.size());
    for (size_t i = 0; i < count; ++i) {
      const Op* now = i < ops_.size() ? &ops_[i] : nullptr;
      const Op* was = i < last_ops_.size() ? &last_ops_[i] : nullptr;
      if (now && was && pictures_made_ == pictures_seen_ && SameOp(*now, *was)) continue;
      if (was) Redraw(was->target);
      if (now) Redraw(now->target);
    }
    // A changed pixel shows where no fill hides it; one under a picture is drawn
    // anew with it. Most lie in rows that nothing is drawn over.
    rows_with_ops_.assign(size_t(canvas_->HeightPx()), 0);
    for (const Op& op : ops_) {
      const int top = std::clamp(op.target.y, 0, canvas_->HeightPx());
      const int bottom = std::clamp(op.target.y + op.target.h, top, canvas_->HeightPx());
      std::fill(rows_with_ops_.begin() + top, rows_with_ops_.begin() + bottom, 1);
    }
    for (const Canvas::At at : changed_) {
      bool hidden = false, under_picture = false;
      if (rows_with_ops_[size_t(at.y)])
        for (const Op& op : ops_) {
          const SDL_Rect& t = op.target;
          if (at.x < t.x || at.y < t.y || at.x >= t.x + t.w || at.y >= t.y + t.h) continue;
          hidden = hidden || !op.picture;
          under_picture = under_picture || op.picture;
        }
      if (hidden) continue;
      if (under_picture)
        Redraw({at.x, at.y, 1, 1});
      else if (x11_frame_)
        points_.push_back({at.x * k_, at.y * k_, canvas_->Pixel(at.x, at.y) & 0xFFFFFF});
      else
        CopyCanvas({at.x, at.y, 1, 1});
    }
    for (const SDL_Rect& rect : redrawn_) {
      CopyCanvasBesideFills(rect, 0);
      const SDL_Rect within = OnDisplay(rect);
      for (const Op& op : ops_)
        if (SDL_HasIntersection(&op.target, &rect)) DrawOp(op, within);
    }
  }
  // Only what lies on the window goes to the display, and each pixel of it once: the
  // parts of a frame overlap (a control over the canvas, a control moved a little).
  parts_.clear();
  for (const SDL_Rect& rect : sent_)
    AddDisjoint(parts_, PixelRect{rect.x, rect.y, rect.x + rect.w, rect.y + rect.h}.Clip(frame_->w, frame_->h));
  sent_.clear();
  for (const PixelRect& part : parts_) sent_.push_back({part.left, part.top, part.Width(), part.Height()});
  if (x11_frame_)
    x11_frame_->Send(sent_, points_, k_);
  else if (!sent_.empty())
    SDL_UpdateWindowSurfaceRects(window_, sent_.data(), int(sent_.size()));
  last_ops_.swap(ops_);
  pictures_seen_ = pictures_made_;
  whole_ = false;
  // What is drawn next starts from the next DrawCanvas, never from this frame's state.
  frame_ = nullptr;
  canvas_ = nullptr;
}

SDL_Surface* Screen::Frame() {
  if (SDL_Surface* shared = x11_frame_ ? x11_frame_->Surface() : nullptr) return shared;
  x11_frame_.reset();
  return SDL_GetWindowSurface(window_);
}

bool Screen::SameOp(const Op& a, const Op& b) {
  auto same = [](const SDL_Rect& r, const SDL_Rect& s) { return r.x == s.x && r.y == s.y && r.w == s.w && r.h == s.h; };
  return a.picture == b.picture && a.colour == b.colour && same(a.source, b.source) && same(a.target, b.target);
}

// Adds rect, in 96-DPI pixels, to what is drawn anew this frame; joined to a part
// it overlaps, as a control that moved a little overlaps where it was.
void Screen::Redraw(const SDL_Rect& rect) {
  for (SDL_Rect& part : redrawn_)
    if (SDL_HasIntersection(&part, &rect)) {
      const SDL_Rect was = part;
      SDL_UnionRect(&was, &rect, &part);
      return;
    }
  redrawn_.push_back(rect);
}

// Draws the part of op that lies within (in the display's pixels, on whole 96-DPI
// pixels): a picture's part is its source's own pixels, enlarged as a whole.
void Screen::DrawOp(const Op& op, const SDL_Rect& within) {
  SDL_Rect part;
  if (!SDL_IntersectRect(&op.display, &within, &part)) return;
  if (!op.picture) {
    SDL_FillRect(frame_, &part, SDL_MapRGB(frame_->format, uint8_t(RedOf(op.colour)), uint8_t(GreenOf(op.colour)),
                                           uint8_t(BlueOf(op.colour))));
    return;
  }
  if (op.source.w <= 0 || op.source.h <= 0) return;
  // The picture's pixels are each fx x fy of the display's (k, or 1 where it was made
  // at the display's density), and a 96-DPI pixel's edges fall on theirs.
  const int fx = op.display.w / op.source.w, fy = op.display.h / op.source.h;
  if (fx <= 0 || fy <= 0) return;
  const SDL_Rect source{op.source.x + (part.x - op.display.x) / fx, op.source.y + (part.y - op.display.y) / fy,
                        (part.w + fx - 1) / fx, (part.h + fy - 1) / fy};
  const SDL_Rect target{part.x, part.y, source.w * fx, source.h * fy};
  SDL_SetSurfaceColorMod(op.picture, uint8_t(RedOf(op.colour)), uint8_t(GreenOf(op.colour)), uint8_t(BlueOf(op.colour)));
  Blit(op.picture, source, target);
}

// Copies the parts of rect that no fill from ops_[from] on covers: a control drawn
// anew over its own back colour needs the canvas only where it no longer stands.
void Screen::CopyCanvasBesideFills(const SDL_Rect& rect, size_t from) {
  for (size_t i = from; i < ops_.size(); ++i) {
    const SDL_Rect& fill = ops_[i].target;
    SDL_Rect overlap;
    if (ops_[i].picture || !SDL_IntersectRect(&rect, &fill, &overlap)) continue;
    const int top = rect.y, bottom = rect.y + rect.h, left = rect.x, right = rect.x + rect.w;
    const int o_top = overlap.y, o_bottom = overlap.y + overlap.h, o_left = overlap.x, o_right = overlap.x + overlap.w;
    if (o_top > top) CopyCanvasBesideFills({left, top, rect.w, o_top - top}, i + 1);
    if (o_bottom < bottom) CopyCanvasBesideFills({left, o_bottom, rect.w, bottom - o_bottom}, i + 1);
    if (o_left > left) CopyCanvasBesideFills({left, o_top, o_left - left, overlap.h}, i + 1);
    if (o_right < right) CopyCanvasBesideFills({o_right, o_top, right - o_right, overlap.h}, i + 1);
    sent_.push_back(OnDisplay(overlap));  // the fill draws it
    return;
  }
  CopyCanvas(rect);
}

void Screen::CopyCanvas(const SDL_Rect& rect) {
  const SDL_Rect display = OnDisplay(rect);
  sent_.push_back(display);
  const uint32_t format = frame_->format->format;
  if (format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888) {
    const Canvas::Rows rows{static_cast<uint32_t*>(frame_->pixels), size_t(frame_->pitch / 4), 0, 0, frame_->w,
                            frame_->h};
    return canvas_->CopyRows(rect.x, rect.y, rect.w, rect.h, k_, rows);
  }
  // Any other frame is drawn through a surface that holds 0x..RRGGBB, which SDL
  // converts; only the canvas's own part of rect.
  SDL_Rect part;
  const SDL_Rect canvas{0, 0, canvas_->WidthPx(), canvas_->HeightPx()};
  if (!SDL_IntersectRect(&rect, &canvas, &part)) return;
  const SDL_Rect shown = OnDisplay(part);
  if (!AtLeast(rows_surface_, shown.w, shown.h, SDL_PIXELFORMAT_RGB888)) return Report("canvas");
  const Canvas::Rows rows{static_cast<uint32_t*>(rows_surface_->pixels), size_t(rows_surface_->pitch / 4), shown.x,
                          shown.y, shown.w, shown.h};
  canvas_->CopyRows(part.x, part.y, part.w, part.h, k_, rows);
  SDL_Rect from{0, 0, shown.w, shown.h}, to = shown;
  SDL_BlitSurface(rows_surface_, &from, frame_, &to);
}

// Nearest-neighbour where the sizes differ: pixel art and dots stay sharp. SDL
// enlarges and blends at once only a pixel at a time; a part of a picture is
// enlarged on its own first, as it is, then blended as any picture is.
void Screen::Blit(SDL_Surface* from, const SDL_Rect& source, const SDL_Rect& target) {
  SDL_Rect in = source, out = target;
  if (in.w == out.w && in.h == out.h) return void(SDL_BlitSurface(from, &in, frame_, &out));
  constexpr int kMostEnlarged = 1 << 20;  // pixels: a part larger is enlarged as it is blended
  if (out.w * out.h > kMostEnlarged || !AtLeast(enlarged_, out.w, out.h, from->format->format))
    return void(SDL_BlitScaled(from, &in, frame_, &out));
  SDL_Rect whole{0, 0, out.w, out.h};
  uint8_t r, g, b;
  SDL_BlendMode blend;
  SDL_GetSurfaceColorMod(from, &r, &g, &b);
  SDL_GetSurfaceBlendMode(from, &blend);
  SDL_SetSurfaceColorMod(enlarged_, r, g, b);
  SDL_SetSurfaceBlendMode(enlarged_, blend);
  SDL_SoftStretch(from, &in, enlarged_, &whole);
  SDL_BlitSurface(enlarged_, &whole, frame_, &out);
}

}  // namespace platform::sdl
