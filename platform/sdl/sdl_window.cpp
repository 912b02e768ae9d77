// Form1 over SDL. Implements: the window (creation from the layout, show, unload,
// the event-processing step, presenting) and the animated picture control.
#include "platform/sdl/sdl_window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "platform/shared/host_path.h"
#include "platform/sdl/sdl_parts.h"

namespace platform::sdl {

namespace {

// The colour the standard scheme gives a system colour; an RGB value stays itself.
Colour Resolve(Colour colour) {
  if (colour & kSystemColourFlag) return kBlack;  // the standard scheme has black menu text
  return colour;
}

int Px(float twips) { return int(std::floor(twips / float(kTwipsPerPixel))); }

void SetDrawColour(SDL_Renderer* renderer, Colour colour) {
  SDL_SetRenderDrawColor(renderer, uint8_t(RedOf(colour)), uint8_t(GreenOf(colour)),
                         uint8_t(BlueOf(colour)), 255);
}

// Key, button and modifier codes as the handlers receive them.
int16_t ShiftState(uint16_t mod) {
  return int16_t(((mod & KMOD_SHIFT) ? 1 : 0) | ((mod & KMOD_CTRL) ? 2 : 0) | ((mod & KMOD_ALT) ? 4 : 0));
}

int16_t Button(uint8_t sdl_button) {
  switch (sdl_button) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 4;
    default: return int16_t(8 << (sdl_button - SDL_BUTTON_X1));
  }
}

// The key codes of the window system the handlers were written for: letters as
// their capitals, digits, and the common named keys; any other key keeps SDL's code.
int16_t VirtualKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return int16_t('A' + (key - SDLK_a));
  if (key >= SDLK_F1 && key <= SDLK_F12) return int16_t(0x70 + (key - SDLK_F1));
  switch (key) {
    case SDLK_LSHIFT: case SDLK_RSHIFT: return 0x10;
    case SDLK_LCTRL: case SDLK_RCTRL: return 0x11;
    case SDLK_LALT: case SDLK_RALT: return 0x12;
    case SDLK_LEFT: return 0x25;
    case SDLK_UP: return 0x26;
    case SDLK_RIGHT: return 0x27;
    case SDLK_DOWN: return 0x28;
    case SDLK_DELETE: return 0x2E;
    default: return int16_t(key & 0x7FFF);  // digits, space, return, escape, tab are alike
  }
}

int16_t Buttons(uint32_t state) {
  return int16_t(((state & SDL_BUTTON_LMASK) ? 1 : 0) | ((state & SDL_BUTTON_RMASK) ? 2 : 0) |
                 ((state & SDL_BUTTON_MMASK) ? 4 : 0));
}

bool IsSoftwareGl(SDL_Renderer* renderer) {
  SDL_RendererInfo info;
  SDL_GetRendererInfo(renderer, &info);
  if (std::string_view(info.name).substr(0, 6) != "opengl") return false;
  using GetString = const unsigned char* (*)(unsigned);
  constexpr unsigned kGlRenderer = 0x1F01;
  auto get_string = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  const char* gl = get_string ? reinterpret_cast<const char*>(get_string(kGlRenderer)) : nullptr;
  const std::string_view name = gl ? gl : "";
  return name.find("llvmpipe") != std::string_view::npos ||
         name.find("softpipe") != std::string_view::npos || name.find("swrast") != std::string_view::npos;
}

// The renderer, in this order: a GPU renderer that waits for the display's refresh,
// where the display offers direct rendering and its OpenGL is not a software
// rasteriser (llvmpipe under Xvfb or in a virtual machine is slower than SDL's own
// software renderer and has been seen to stall for good inside a texture upload);
// else SDL's software renderer; else whatever the display offers (a Wayland
// compositor gives no framebuffer to the software renderer). SDL_RENDER_DRIVER
// still chooses, where it is set.
SDL_Renderer* CreateRenderer(SDL_Window* window) {
  if (SDL_GetHint(SDL_HINT_RENDER_DRIVER)) return SDL_CreateRenderer(window, -1, 0);
  if (DirectRenderingOffered(window)) {
    if (SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED |
                                                                    SDL_RENDERER_PRESENTVSYNC)) {
      if (!IsSoftwareGl(renderer)) return renderer;
      SDL_DestroyRenderer(renderer);
    }
  }
  // Presenting the software renderer's frame must not go through OpenGL either.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE)) return renderer;
  SDL_ResetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION);
  return SDL_CreateRenderer(window, -1, 0);
}

}  // namespace

// --- the animated picture control ---

// Of the saved properties only the back colour changes what is shown: the extents
// repeat the layout's size, and appearance 0 and borderstyle 0 draw no frame.
SdlSprite::SdlSprite(SDL_Renderer* renderer, const SpriteLayout& layout, std::string app_path)
    : renderer_(renderer), name_(layout.name), app_path_(std::move(app_path)),
      left_(layout.place.left), top_(layout.place.top), width_(layout.place.width),
      height_(layout.place.height), back_color_(Resolve(layout.backcolor)) {}

SdlSprite::~SdlSprite() { FreeFrames(); }



void SdlSprite::FreeFrames() {
  for (SDL_Texture* t : frames_) SDL_DestroyTexture(t);
  frames_.clear();
  animation_ = {};
}

void SdlSprite::SetPictureFile(const std::string& path) {
  FreeFrames();
  std::string why;
  std::optional<gif::Animation> loaded = gif::Load(HostPath(path, app_path_), gif::Limits{}, &why);
  if (!loaded) {
    std::fprintf(stderr, "%s: %s: %s\n", name_.c_str(), path.c_str(), why.c_str());
    return;
  }
  for (gif::Frame& frame : loaded->frames) {
    SDL_Texture* texture = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888,
                                             SDL_TEXTUREACCESS_STATIC, loaded->width, loaded->height);
    if (!texture) {
      Report("sprite texture");
      FreeFrames();
      return;
    }
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    SDL_UpdateTexture(texture, nullptr, frame.argb.data(), loaded->width * 4);
    frames_.push_back(texture);
    std::vector<uint32_t>().swap(frame.argb);
  }
  animation_ = std::move(*loaded);
  start_ms_ = SDL_GetTicks64();
}

void SdlSprite::Draw(uint64_t now_ms) {
  const SDL_Rect rect{Px(left_), Px(top_), Px(width_), Px(height_)};
  SetDrawColour(renderer_, back_color_);
  SDL_RenderFillRect(renderer_, &rect);
  if (frames_.empty()) return;
  SDL_Texture* frame = frames_[animation_.FrameAt(now_ms - start_ms_)];
  const SDL_Rect source{0, 0, std::min(animation_.width, rect.w), std::min(animation_.height, rect.h)};
  const SDL_Rect target{rect.x, rect.y, source.w, source.h};
  SDL_RenderCopy(renderer_, frame, &source, &target);
}

// --- the window ---

SdlWindow::SdlWindow(const FormLayout& layout, EventSink& sink, const std::string& app_path,
                     uintptr_t host_window)
    : state_(sink), back_argb_(ToArgb(Resolve(layout.back_color))),
      timer_(layout.timer.interval_ms, SDL_GetTicks64()), timer_enabled_(layout.timer.enabled),
      hosted_(host_window != 0) {
  if (hosted_) {
    window_ = SDL_CreateWindowFrom(reinterpret_cast<const void*>(host_window));
    if (!window_) {
      std::fprintf(stderr, "draw into the host window 0x%lx: %s\n", static_cast<unsigned long>(host_window),
                   SDL_GetError());
      std::exit(1);
    }
  }
  SDL_Rect bounds;
  if (!hosted_ && SDL_GetDisplayBounds(0, &bounds) != 0) {
    Report("display bounds");
    std::exit(1);
  }
  // With no window manager a full-screen window asked for at 0 x 0 stays 1 x 1,
  // so the desktop's place and size are given explicitly.
  const std::string caption(layout.caption);
  if (!hosted_)
    window_ = SDL_CreateWindow(caption.c_str(), bounds.x, bounds.y, bounds.w, bounds.h,
                             SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS |
                                 SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_SKIP_TASKBAR);
  if (!window_) {
    Report("create window");
    std::exit(1);
  }
  GuardXlib(window_);
  WatchForDestruction(window_);
  // No text is ever typed here; with text input on, SDL's input-method support
  // would reach for a session bus at the first focus and, where none runs, start one.
  SDL_StopTextInput();
  if (!hosted_) SetIcon(layout.icon);
  renderer_ = CreateRenderer(window_);
  if (!renderer_) {
    Report("create renderer");
    std::exit(1);
  }
  int w = 0, h = 0;
  SDL_GetWindowSize(window_, &w, &h);
  ResizeCanvas(w, h);

  sprites_.resize(size_t(layout.sprite_count));
  for (int i = 0; i < layout.ControlCount(); ++i) {
    const ControlRef control = layout.creation_order[size_t(i)];
    switch (control.kind) {
      case ControlRef::kSprite: {
        const SpriteLayout& s = layout.sprites[control.sprite - 1];
        auto sprite = std::make_unique<SdlSprite>(renderer_, s, app_path);
        z_order_.push_back(sprite.get());
        sprites_[control.sprite - 1] = std::move(sprite);
        break;
      }
      case ControlRef::kLabel:
        label_ = std::make_unique<SdlLabel>(renderer_, layout.label);
        break;
      case ControlRef::kTimer:
        break;  // its interval and state were taken above
    }
  }
}

void SdlWindow::SetIcon(const IconPicture& icon) {
  if (!icon.rgba) return;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<uint8_t*>(icon.rgba), icon.width, icon.height, 32, icon.width * 4,
      SDL_PIXELFORMAT_RGBA32);
  if (!surface) return Report("window icon");
  SDL_SetWindowIcon(window_, surface);
  SDL_FreeSurface(surface);
}

SdlWindow::~SdlWindow() {
  sprites_.clear();
  label_.reset();
  if (canvas_texture_) SDL_DestroyTexture(canvas_texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  if (window_) SDL_DestroyWindow(window_);
}

void SdlWindow::ResizeCanvas(int width_px, int height_px) {
  canvas_.Resize(width_px, height_px, back_argb_);
  if (canvas_texture_) SDL_DestroyTexture(canvas_texture_);
  canvas_texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888,
                                      SDL_TEXTUREACCESS_STATIC, width_px, height_px);
  if (!canvas_texture_) {
    Report("create canvas");
    std::exit(1);
  }
}

Sprite& SdlWindow::sprite(int number) { return *sprites_.at(size_t(number - 1)); }

void SdlWindow::Show() {
  if (!hosted_) {  // the host has shown its window already
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
    SDL_SetWindowInputFocus(window_);
  }
  state_.Shown();
}

void SdlWindow::Unload() {
  // The window stays on the screen only until the program ends, which follows at the
  // loop's next test; hiding it first would wait for the window system.
  state_.Unload();
}

void SdlWindow::Dispatch(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT:  // the session closing
      Unload();
      break;
    case SDL_SYSWMEVENT:  // a host, or any client, destroyed the window
      if (IsDestruction(e.syswm.msg)) Unload();
      break;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: Unload(); break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: state_.FocusGained(); break;
        case SDL_WINDOWEVENT_FOCUS_LOST: state_.FocusLost(); break;
        case SDL_WINDOWEVENT_SIZE_CHANGED: ResizeCanvas(e.window.data1, e.window.data2); break;
        default: break;
      }
      break;
    case SDL_KEYDOWN:
      if (hosted_) break;  // the host's input
      state_.KeyDown(VirtualKey(e.key.keysym.sym), ShiftState(e.key.keysym.mod));
      break;
    case SDL_MOUSEBUTTONDOWN:
      if (hosted_) break;
      state_.MouseDown(Button(e.button.button), ShiftState(SDL_GetModState()),
                       float(e.button.x * kTwipsPerPixel), float(e.button.y * kTwipsPerPixel));
      break;
    case SDL_MOUSEMOTION:
      if (hosted_) break;
      state_.MouseMove(Buttons(e.motion.state), ShiftState(SDL_GetModState()),
                       float(e.motion.x * kTwipsPerPixel), float(e.motion.y * kTwipsPerPixel));
      break;
    default:
      break;
  }
}

int16_t SdlWindow::DoEvents() {
  // A signal to end, or a window that vanished, closes the window; nothing is drawn
  // into a window that is gone.
  if (EndRequested() || WindowLost()) state_.Unload();
  if (!state_.BeginStep()) return state_.EndStep();
  SDL_Event event;
  while (state_.loaded() && SDL_PollEvent(&event)) Dispatch(event);
  if (EndRequested() || WindowLost()) state_.Unload();
  const uint64_t now = SDL_GetTicks64();
  if (state_.loaded() && timer_enabled_ && timer_.Due(now)) state_.Tick();
  if (state_.loaded()) {
    UploadCanvas();
    Compose(now);
    Present();
  }
  return state_.EndStep();
}

void SdlWindow::UploadCanvas() {
  const int tile = Canvas::kTileSize;
  for (int ty = 0; ty < canvas_.TilesY(); ++ty) {
    for (int tx = 0; tx < canvas_.TilesX();) {
      if (!canvas_.TileDirty(tx, ty)) {
        ++tx;
        continue;
      }
      const int first = tx;
      while (tx < canvas_.TilesX() && canvas_.TileDirty(tx, ty)) ++tx;
      SDL_Rect run{first * tile, ty * tile, 0, 0};
      run.w = std::min(tx * tile, canvas_.WidthPx()) - run.x;
      run.h = std::min(tile, canvas_.HeightPx() - run.y);
      SDL_UpdateTexture(canvas_texture_, &run,
                        canvas_.Pixels() + size_t(run.y) * size_t(canvas_.WidthPx()) + size_t(run.x),
                        canvas_.PitchBytes());
    }
  }
  canvas_.ClearDirty();
}

void SdlWindow::Compose(uint64_t now_ms) {
  SDL_RenderCopy(renderer_, canvas_texture_, nullptr, nullptr);
  label_->Draw();
  for (SdlSprite* sprite : z_order_) sprite->Draw(now_ms);
}

}  // namespace platform::sdl
