// The window surface's frame in MIT-SHM memory. Implements: X11Frame.
#include "platform/sdl/sdl_x11_frame.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

namespace platform::sdl {

struct X11Frame::Shared {
  Display* display = nullptr;
  ::Window window = 0;
  Visual* visual = nullptr;
  int depth = 0;
  GC gc = nullptr;         // clipped to what is sent of the frame
  GC black_gc = nullptr;   // unclipped, black
  GC or_gc = nullptr;      // unclipped, or-ing its colour in
  XImage* image = nullptr;
  XShmSegmentInfo segment{};
  std::vector<XRectangle> clip;
  std::vector<XPoint> points;
  std::vector<XRectangle> squares;
  PointDraws draws;
  // The last put, until the server is known to have done it: its completion event,
  // read by the event loop like any other, tells so.
  unsigned long put_request = 0;
  bool put_pending = false;
};

namespace {

// While the server attaches the memory, a refusal of it is noted and any other error
// goes to the handler in place.
int shm_opcode = -1;
bool attach_refused = false;
XErrorHandler handler_in_place = nullptr;

int OnAttachError(Display* display, XErrorEvent* error) {
  if (error->request_code == shm_opcode) {
    attach_refused = true;
    return 0;
  }
  return handler_in_place ? handler_in_place(display, error) : 0;
}

// A server elsewhere would attach memory of its own machine under the same number.
bool OnThisMachine(Display* display) {
  const std::string_view name = DisplayString(display);
  return name.starts_with(':') || name.starts_with("unix:");
}

}  // namespace

void PointDraws::Take(const std::vector<X11Frame::Point>& points) {
  lit_.clear();
  black_.clear();
  for (std::vector<X11Frame::Point>& group : bits_) group.clear();
  for (const X11Frame::Point& p : points) {
    if (p.rgb == 0) {
      black_.push_back(p);
      continue;
    }
    lit_.push_back(p);
    for (int weight = 0; weight < 8; ++weight)
      if (const uint32_t pattern = (p.rgb >> weight) & 0x010101) bits_[Group(weight, pattern)].push_back(p);
  }
}

std::unique_ptr<X11Frame> X11Frame::For(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
  Display* display = info.info.x11.display;
  int event_base, error_base;
  XWindowAttributes attributes;
  if (!OnThisMachine(display) || !XQueryExtension(display, "MIT-SHM", &shm_opcode, &event_base, &error_base) ||
      !XShmQueryExtension(display) || !XGetWindowAttributes(display, info.info.x11.window, &attributes))
    return nullptr;
  const Visual* visual = attributes.visual;
  if (attributes.depth != 24 || visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00 ||
      visual->blue_mask != 0xFF)
    return nullptr;
  XGCValues values{};
  values.graphics_exposures = False;
  const ::Window id = info.info.x11.window;
  auto shared = std::make_unique<Shared>();
  shared->display = display;
  shared->window = id;
  shared->visual = attributes.visual;
  shared->depth = attributes.depth;
  shared->gc = XCreateGC(display, id, GCGraphicsExposures, &values);
  shared->black_gc = XCreateGC(display, id, GCGraphicsExposures | GCForeground, &values);
  values.function = GXor;
  shared->or_gc = XCreateGC(display, id, GCGraphicsExposures | GCFunction, &values);
  return std::unique_ptr<X11Frame>(new X11Frame(window, std::move(shared)));
}

X11Frame::X11Frame(SDL_Window* window, std::unique_ptr<Shared> shared) : window_(window), shared_(std::move(shared)) {}

X11Frame::~X11Frame() {
  Free();
  XFreeGC(shared_->display, shared_->gc);
  XFreeGC(shared_->display, shared_->black_gc);
  XFreeGC(shared_->display, shared_->or_gc);
}

SDL_Surface* X11Frame::Surface() {
  if (refused_) return nullptr;
  int width, height;
  SDL_GetWindowSizeInPixels(window_, &width, &height);
  if (surface_ && surface_->w == width && surface_->h == height) {
    Shared& s = *shared_;
    if (s.put_pending && LastKnownRequestProcessed(s.display) < s.put_request) XSync(s.display, False);
    s.put_pending = false;
    return surface_;
  }
  Free();
  refused_ = !Make(width, height);
  return surface_;
}

bool X11Frame::Make(int width, int height) {
  Shared& s = *shared_;
  s.image = XShmCreateImage(s.display, s.visual, unsigned(s.depth), ZPixmap, nullptr, &s.segment, unsigned(width),
                            unsigned(height));
  if (!s.image) return false;
  const size_t bytes = size_t(s.image->bytes_per_line) * size_t(height);
  s.segment.shmid = s.image->bits_per_pixel == 32 ? shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600) : -1;
  s.segment.shmaddr = s.segment.shmid >= 0 ? static_cast<char*>(shmat(s.segment.shmid, nullptr, 0)) : nullptr;
  if (s.segment.shmaddr == reinterpret_cast<char*>(-1)) s.segment.shmaddr = nullptr;
  bool attached = false;
  if (s.segment.shmaddr) {
    s.segment.readOnly = False;
    attach_refused = false;
    handler_in_place = XSetErrorHandler(OnAttachError);
    XShmAttach(s.display, &s.segment);
    XSync(s.display, False);
    XSetErrorHandler(handler_in_place);
    attached = !attach_refused;
  }
  // Marked for removal at once: the memory goes when both sides let it go, however
  // the program ends.
  if (s.segment.shmid >= 0) shmctl(s.segment.shmid, IPC_RMID, nullptr);
  if (attached) {
    s.image->data = s.segment.shmaddr;
    std::memset(s.image->data, 0, bytes);
    surface_ = SDL_CreateRGBSurfaceWithFormatFrom(s.image->data, width, height, 32, s.image->bytes_per_line,
                                                  SDL_PIXELFORMAT_RGB888);
  }
  if (!surface_) {
    if (attached) XShmDetach(s.display, &s.segment);
    Free();
    return false;
  }
  return true;
}

void X11Frame::Free() {
  Shared& s = *shared_;
  if (surface_) {
    XShmDetach(s.display, &s.segment);  // sent with the next request: the server lets go when it reads it
    SDL_FreeSurface(surface_);
    surface_ = nullptr;
  }
  if (s.segment.shmaddr) shmdt(s.segment.shmaddr);
  s.segment = {};
  if (s.image) {
    s.image->data = nullptr;  // not Xlib's to free
    XDestroyImage(s.image);
    s.image = nullptr;
  }
}

void X11Frame::Send(const std::vector<SDL_Rect>& rects, const std::vector<Point>& points, int size) {
  Shared& s = *shared_;
  const bool put = !rects.empty() && surface_;
  if (put) {
    s.clip.clear();
    int left = rects[0].x, top = rects[0].y, right = left, bottom = top;
    for (const SDL_Rect& r : rects) {
      s.clip.push_back({short(r.x), short(r.y), static_cast<unsigned short>(r.w), static_cast<unsigned short>(r.h)});
      left = std::min(left, r.x);
      top = std::min(top, r.y);
      right = std::max(right, r.x + r.w);
      bottom = std::max(bottom, r.y + r.h);
    }
    XSetClipRectangles(s.display, s.gc, 0, 0, s.clip.data(), int(s.clip.size()), Unsorted);
    s.put_request = NextRequest(s.display);
    s.put_pending = true;
    XShmPutImage(s.display, s.window, s.gc, s.image, left, top, left, top, unsigned(right - left),
                 unsigned(bottom - top), True);
  }
  s.draws.Take(points);
  s.draws.ForEach([&s, size](bool or_in, uint32_t rgb, const std::vector<Point>& group) {
    const GC gc = or_in ? s.or_gc : s.black_gc;
    if (or_in) XSetForeground(s.display, gc, rgb);
    if (size == 1) {
      s.points.clear();
      for (const Point& p : group) s.points.push_back({short(p.x), short(p.y)});
      XDrawPoints(s.display, s.window, gc, s.points.data(), int(s.points.size()), CoordModeOrigin);
      return;
    }
    s.squares.clear();
    for (const Point& p : group)
      s.squares.push_back({short(p.x), short(p.y), static_cast<unsigned short>(size), static_cast<unsigned short>(size)});
    XFillRectangles(s.display, s.window, gc, s.squares.data(), int(s.squares.size()));
  });
  XFlush(s.display);
}

}  // namespace platform::sdl
