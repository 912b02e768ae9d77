// The frame over an SDL renderer. Implements: RendererScreen.
#include "platform/sdl/sdl_renderer_screen.h"

#include <cstdlib>

#include "platform/sdl/sdl_process.h"

namespace platform::sdl {

std::unique_ptr<RendererScreen> RendererScreen::Start(SDL_Window* window, int scale, uint32_t flags,
                                                      std::string_view name) {
  int index = -1;
  for (int i = 0; !name.empty() && i < SDL_GetNumRenderDrivers(); ++i) {
    SDL_RendererInfo info;
    if (SDL_GetRenderDriverInfo(i, &info) == 0 && name == info.name) index = i;
  }
  if (!name.empty() && index < 0) {
    SDL_SetError("no such renderer");
    return nullptr;
  }
  SDL_Renderer* renderer = SDL_CreateRenderer(window, index, flags);
  if (!renderer) return nullptr;
  return std::unique_ptr<RendererScreen>(new RendererScreen(renderer, scale));
}

RendererScreen::~RendererScreen() {
  if (canvas_texture_) SDL_DestroyTexture(canvas_texture_);
  SDL_DestroyRenderer(renderer_);
}

std::string RendererScreen::GlName() const {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(renderer_, &info) != 0 || !IsGlRenderer(info.name)) return {};
  using GetString = const unsigned char* (*)(unsigned);
  constexpr unsigned kGlRenderer = 0x1F01;
  auto get_string = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  const char* name = get_string ? reinterpret_cast<const char*>(get_string(kGlRenderer)) : nullptr;
  return name ? name : "";
}

const char* RendererScreen::Name() const {
  SDL_RendererInfo info;
  return SDL_GetRendererInfo(renderer_, &info) == 0 ? info.name : "?";
}

Picture RendererScreen::MakePicture(const uint32_t* argb, int width, int height, int pitch_bytes, int density) {
  SDL_Texture* texture =
      SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, width, height);
  if (!texture) {
    Report("picture texture");
    return {};
  }
  SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
  SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest);  // pixel art stays sharp
  SDL_UpdateTexture(texture, nullptr, argb, pitch_bytes);
  return Picture(texture, nullptr, width, height, density);
}

bool RendererScreen::MakeCanvasTexture(int width, int height) {
  if (canvas_texture_) SDL_DestroyTexture(canvas_texture_);
  canvas_texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, width, height);
  if (!canvas_texture_) return false;
  texture_w_ = width;
  texture_h_ = height;
  SDL_SetTextureScaleMode(canvas_texture_, SDL_ScaleModeNearest);  // a dot covers k x k pixels
  return true;
}

// The canvas's dirty tiles go to its texture, which is drawn whole.
void RendererScreen::DrawCanvas(Canvas& canvas) {
  canvas.TakeChanges();
  const bool fresh = !canvas_texture_ || texture_w_ != canvas.WidthPx() || texture_h_ != canvas.HeightPx();
  if (fresh && !MakeCanvasTexture(canvas.WidthPx(), canvas.HeightPx())) {
    Report("create canvas");
    std::exit(1);
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
  canvas.ClearDirty();
  const SDL_Rect whole{0, 0, texture_w_ * k_, texture_h_ * k_};
  SDL_RenderCopy(renderer_, canvas_texture_, nullptr, &whole);
  drawn_ = true;
}

void RendererScreen::Fill(const SDL_Rect& rect, Colour colour) {
  const SDL_Rect display{rect.x * k_, rect.y * k_, rect.w * k_, rect.h * k_};
  SDL_SetRenderDrawColor(renderer_, uint8_t(RedOf(colour)), uint8_t(GreenOf(colour)), uint8_t(BlueOf(colour)), 255);
  SDL_RenderFillRect(renderer_, &display);
}

void RendererScreen::Draw(const Picture& picture, const SDL_Rect& source, int x, int y, Colour tint) {
  if (!picture.texture()) return;
  const SDL_Rect display{x * k_, y * k_, source.w * k_ / picture.density(), source.h * k_ / picture.density()};
  SDL_SetTextureColorMod(picture.texture(), uint8_t(RedOf(tint)), uint8_t(GreenOf(tint)), uint8_t(BlueOf(tint)));
  SDL_RenderCopy(renderer_, picture.texture(), &source, &display);
}

void RendererScreen::Present() {
  if (!drawn_) return;
  SDL_RenderPresent(renderer_);
  drawn_ = false;
}

}  // namespace platform::sdl
