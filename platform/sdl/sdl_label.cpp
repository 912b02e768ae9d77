// The banner over SDL2_ttf, in a font that fontconfig finds for Simplified Chinese.
// Implements: SdlLabel.
#include "platform/sdl/sdl_label.h"

#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdio>

#include "platform/sdl/sdl_process.h"

namespace platform::sdl {

namespace {

// The file and face index of a sans-serif font that covers "欢迎" (U+6B22 U+8FCE).
bool FindChineseFont(std::string* file, int* index) {
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (!config) return false;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=zh-cn"));
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(config, pattern, &result);
  bool found = false;
  if (match) {
    FcChar8* path = nullptr;
    FcCharSet* chars = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch &&
        FcPatternGetCharSet(match, FC_CHARSET, 0, &chars) == FcResultMatch &&
        FcCharSetHasChar(chars, 0x6B22) && FcCharSetHasChar(chars, 0x8FCE)) {
      *file = reinterpret_cast<const char*>(path);
      if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
      found = true;
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  FcConfigDestroy(config);
  return found;
}

// The largest size whose line fits the banner's height.
TTF_Font* OpenFitting(const std::string& file, int index, int max_height_px) {
  for (int size = max_height_px; size >= 6; --size) {
    TTF_Font* font = TTF_OpenFontIndex(file.c_str(), size, index);
    if (!font) return nullptr;
    if (TTF_FontHeight(font) <= max_height_px) return font;
    TTF_CloseFont(font);
  }
  return nullptr;
}

}  // namespace

SdlLabel::SdlLabel(Screen& screen, const LabelLayout& layout, int scale)
    : screen_(screen), place_(layout.place), fore_color_(layout.fore_color),
      back_color_(layout.back_color), caption_(layout.caption) {
  std::string file;
  int index = 0;
  if (!FindChineseFont(&file, &index)) {
    std::fprintf(stderr, "banner: no font for Simplified Chinese found\n");
    return;
  }
  // Drawn at the display's own density: at scale k, k times as tall, not stretched.
  TTF_Font* font = OpenFitting(file, index, TwipsToPx(place_.height) * scale);
  if (!font) {
    Report("banner font");
    return;
  }
  SDL_Surface* surface = TTF_RenderUTF8_Blended(font, caption_.c_str(), SDL_Color{255, 255, 255, 255});
  TTF_CloseFont(font);
  if (!surface) {
    Report("banner text");
    return;
  }
  // The blended line comes as 0xAARRGGBB.
  text_ = screen_.MakePicture(static_cast<const uint32_t*>(surface->pixels), surface->w, surface->h,
                              surface->pitch, scale);
  SDL_FreeSurface(surface);
}

void SdlLabel::Draw() {
  const SDL_Rect rect{TwipsToPx(place_.left), TwipsToPx(place_.top), TwipsToPx(place_.width),
                      TwipsToPx(place_.height)};
  screen_.Fill(rect, back_color_);
  if (!text_) return;
  // One line, clipped to the banner's rectangle.
  const int k = text_.density();
  const SDL_Rect source{0, 0, std::min(text_.width(), rect.w * k), std::min(text_.height(), rect.h * k)};
  screen_.Draw(text_, source, rect.x, rect.y, fore_color_);
}

}  // namespace platform::sdl
