// The frame in the window's own surface. Implements: SurfaceScreen.
#include "platform/sdl/sdl_surface_screen.h"

#include <algorithm>

#include "platform/sdl/sdl_process.h"

namespace platform::sdl {

namespace {

// Makes surface, if need be, one of at least w x h pixels of the format.
bool AtLeast(SDL_Surface*& surface, int w, int h, uint32_t format) {
  if (surface && surface->w >= w && surface->h >= h && surface->format->format == format) return true;
  const int width = std::max(w, surface ? surface->w : 0), height = std::max(h, surface ? surface->h : 0);
  if (surface) SDL_FreeSurface(surface);
  surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, format);
  return surface != nullptr;
}

bool Contains(const SDL_Rect& r, int x, int y) { return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h; }

bool SameOp(const auto& a, const auto& b) {
  auto same = [](const SDL_Rect& r, const SDL_Rect& s) { return r.x == s.x && r.y == s.y && r.w == s.w && r.h == s.h; };
  return a.picture == b.picture && a.colour == b.colour && same(a.source, b.source) && same(a.target, b.target);
}

}  // namespace

std::unique_ptr<SurfaceScreen> SurfaceScreen::Start(SDL_Window* window, int scale) {
  std::unique_ptr<SurfaceScreen> screen(new SurfaceScreen(window, scale));
  screen->x11_frame_ = X11Frame::For(window);
  if (!screen->Frame()) return nullptr;
  return screen;
}

SurfaceScreen::~SurfaceScreen() {
  if (rows_surface_) SDL_FreeSurface(rows_surface_);
  if (enlarged_) SDL_FreeSurface(enlarged_);
}

SDL_Surface* SurfaceScreen::Frame() {
  if (SDL_Surface* shared = x11_frame_ ? x11_frame_->Surface() : nullptr) return shared;
  x11_frame_.reset();
  return SDL_GetWindowSurface(window_);
}

Picture SurfaceScreen::MakePicture(const uint32_t* argb, int width, int height, int pitch_bytes, int density) {
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
  if (!surface) {
    Report("picture");
    return {};
  }
  SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_ARGB8888, argb, pitch_bytes, SDL_PIXELFORMAT_ARGB8888,
                    surface->pixels, surface->pitch);
  SDL_SetSurfaceBlendMode(surface, SDL_BLENDMODE_BLEND);
  // Drawn as runs: a sprite's clear pixels are passed over and its solid ones
  // copied, at a third of the cost of blending each. (SDL keeps a picture it tints
  // or enlarges as it is.)
  SDL_SetSurfaceRLE(surface, 1);
  ++pictures_made_;
  return Picture(nullptr, surface, width, height, density);
}

void SurfaceScreen::DrawCanvas(Canvas& canvas) {
  canvas.TakeChanges();
  ops_.clear();
  sent_.clear();
  points_.clear();
  frame_ = Frame();
  if (frame_) {
    // A surface made anew (the window changed size, or changed it and back) starts
    // blank and is drawn whole. It is known by the mark this screen leaves on each
    // surface it draws into, since a new one may well take the old one's memory.
    if (frame_->userdata != this) {
      whole_ = true;
      frame_->userdata = this;
    }
    canvas_ = &canvas;
    whole_ = whole_ || canvas.AllChanged();  // new, or of a new size
  }
  canvas.ClearDirty();
}

void SurfaceScreen::Fill(const SDL_Rect& rect, Colour colour) {
  ops_.push_back({{}, rect, OnDisplay(rect), nullptr, colour});
}

void SurfaceScreen::Draw(const Picture& picture, const SDL_Rect& source, int x, int y, Colour tint) {
  if (!picture.surface()) return;
  const SDL_Rect display{x * k_, y * k_, source.w * k_ / picture.density(), source.h * k_ / picture.density()};
  // What it covers of the canvas: every 96-DPI pixel it touches.
  const SDL_Rect target{x, y, (display.w + k_ - 1) / k_, (display.h + k_ - 1) / k_};
  ops_.push_back({source, target, display, picture.surface(), tint});
}

void SurfaceScreen::Present() {
  if (!frame_) return;  // no DrawCanvas since the last frame, or a window going
  redrawn_.clear();
  if (whole_) {
    DrawWhole();
  } else {
    RedrawChangedControls();
    PlaceChangedPixels();
    DrawRedrawn();
  }
  Send();
  last_ops_.swap(ops_);
  pictures_seen_ = pictures_made_;
  whole_ = false;
  // What is drawn next starts from the next DrawCanvas, never from this frame's state.
  frame_ = nullptr;
  canvas_ = nullptr;
}

void SurfaceScreen::DrawWhole() {
  CopyCanvas({0, 0, (frame_->w + k_ - 1) / k_, (frame_->h + k_ - 1) / k_});
  for (const Op& op : ops_) {
    DrawOp(op, op.display);
    sent_.push_back(op.display);
  }
}

// Where a control changed, where it was and where it is are drawn anew.
void SurfaceScreen::RedrawChangedControls() {
  const size_t count = std::max(ops_.size(), last_ops_.size());
  for (size_t i = 0; i < count; ++i) {
    const Op* now = i < ops_.size() ? &ops_[i] : nullptr;
    const Op* was = i < last_ops_.size() ? &last_ops_[i] : nullptr;
    if (now && was && pictures_made_ == pictures_seen_ && SameOp(*now, *was)) continue;
    if (was) Redraw(was->target);
    if (now) Redraw(now->target);
  }
}

// A changed pixel shows where no fill hides it; one under a picture is drawn anew
// with it. Most lie in rows that nothing is drawn over.
void SurfaceScreen::PlaceChangedPixels() {
  const int height = canvas_->HeightPx();
  rows_with_ops_.assign(size_t(height), 0);
  for (const Op& op : ops_) {
    const int top = std::clamp(op.target.y, 0, height), bottom = std::clamp(op.target.y + op.target.h, top, height);
    std::fill(rows_with_ops_.begin() + top, rows_with_ops_.begin() + bottom, 1);
  }
  for (const Canvas::At at : canvas_->LastChanged()) {
    bool hidden = false, under_picture = false;
    if (rows_with_ops_[size_t(at.y)])
      for (const Op& op : ops_) {
        if (!Contains(op.target, at.x, at.y)) continue;
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
}

void SurfaceScreen::DrawRedrawn() {
  for (const SDL_Rect& rect : redrawn_) {
    CopyCanvasBesideFills(rect, 0);
    const SDL_Rect within = OnDisplay(rect);
    for (const Op& op : ops_)
      if (SDL_HasIntersection(&op.target, &rect)) DrawOp(op, within);
  }
}

// Only what lies on the window goes to the display, and each pixel of it once: the
// parts of a frame overlap (a control over the canvas, a control moved a little).
void SurfaceScreen::Send() {
  parts_.clear();
  for (const SDL_Rect& rect : sent_)
    AddDisjoint(parts_, PixelRect{rect.x, rect.y, rect.x + rect.w, rect.y + rect.h}.Clip(frame_->w, frame_->h));
  sent_.clear();
  for (const PixelRect& part : parts_) sent_.push_back({part.left, part.top, part.Width(), part.Height()});
  if (x11_frame_)
    x11_frame_->Send(sent_, points_, k_);
  else if (!sent_.empty())
    SDL_UpdateWindowSurfaceRects(window_, sent_.data(), int(sent_.size()));
}

// Adds rect, in 96-DPI pixels, to what is drawn anew this frame; joined to a part
// it overlaps, as a control that moved a little overlaps where it was.
void SurfaceScreen::Redraw(const SDL_Rect& rect) {
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
void SurfaceScreen::DrawOp(const Op& op, const SDL_Rect& within) {
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
void SurfaceScreen::CopyCanvasBesideFills(const SDL_Rect& rect, size_t from) {
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

void SurfaceScreen::CopyCanvas(const SDL_Rect& rect) {
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
void SurfaceScreen::Blit(SDL_Surface* from, const SDL_Rect& source, const SDL_Rect& target) {
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
