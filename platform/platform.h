// The platform layer the engine is written against. Every method is required; each
// states its contract, failure included. The engine sees nothing below this file.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/canvas.h"
#include "platform/colour.h"
#include "platform/layout.h"

namespace platform {

// The window's handlers, called back only from inside Window::DoEvents.
class EventSink {
 public:
  virtual ~EventSink() = default;
  virtual void Form_Activate() = 0;
  virtual void Form_KeyDown(int16_t key_code, int16_t shift) = 0;
  virtual void Form_MouseDown(int16_t button, int16_t shift, float x, float y) = 0;
  virtual void Form_MouseMove(int16_t button, int16_t shift, float x, float y) = 0;
  virtual void Timer2_Timer() = 0;
};

// An animated picture control. It received its saved properties at creation and,
// once it has a picture, animates by itself inside the event-processing step.
class Sprite {
 public:
  virtual ~Sprite() = default;
  // Loads the GIF at path. A missing, unreadable, corrupt or oversized file leaves
  // the control showing only its rectangle in its back colour, and one line on
  // standard error names the file and why.
  virtual void SetPictureFile(const std::string& path) = 0;
  // The place on the window, in twips. Values are held as written.
  virtual float Left() const = 0;
  virtual void SetLeft(float twips) = 0;
  virtual float Top() const = 0;
  virtual void SetTop(float twips) = 0;
  virtual float Height() const = 0;
};

// The one-line banner.
class Label {
 public:
  virtual ~Label() = default;
  virtual void SetForeColor(Colour colour) = 0;
};

// Form1 as the platform holds it: created from its layout with its controls.
class Window {
 public:
  virtual ~Window() = default;
  // The persistent drawing surface; its Width and Height are the window's, in twips.
  // The same object for the life of the window; its size changes only inside DoEvents.
  virtual Canvas& canvas() = 0;
  float Width() { return canvas().Width(); }
  float Height() { return canvas().Height(); }
  // Shows the window modeless, covering the screen, and makes it the active window:
  // its activation handler runs in the next DoEvents.
  virtual void Show() = 0;
  // Destroys the window and its controls. DoEvents returns 0 from then on.
  virtual void Unload() = 0;
  // The event-processing step: handles every pending event (input, activation, a
  // due timer tick, at most one, the sprites' animation, repaint, presenting) by
  // calling the sink, and returns the number of the program's windows still loaded.
  // A handler that unloads the window ends the step; no later event is delivered.
  virtual int16_t DoEvents() = 0;
  // AniGif1 .. AniGif4 by number; only those the layout creates exist.
  virtual Sprite& sprite(int number) = 0;
  virtual Label& label() = 0;
};

// The pointer's display count: the pointer shows while it is 0 or more.
class Pointer {
 public:
  virtual ~Pointer() = default;
  // Raises (show) or lowers the count by one and returns the new count.
  virtual int ShowCursor(bool show) = 0;
};

// The media control command strings and the wave-sound call.
class Media {
 public:
  virtual ~Media() = default;
  // Carries out one command ("OPEN ...", "PLAY ...", "CLOSE ..."). No reply text is
  // asked for (reply of length 0, no callback window). Returns 0 on success or an
  // error code; it never throws.
  virtual uint32_t mciSendString(const std::string& command) = 0;
  // Plays the wave file name with the given flags, or stops what plays when name is
  // null. Returns whether it did. Never throws.
  virtual bool sndPlaySound(const char* name, uint32_t flags) = 0;
};

constexpr uint32_t SND_ASYNC = 0x0001;
constexpr uint32_t SND_NODEFAULT = 0x0002;
constexpr uint32_t SND_LOOP = 0x0008;

// The one random generator of the program.
class Random {
 public:
  virtual ~Random() = default;
  // Seeds the generator from the clock.
  virtual void Randomize() = 0;
  // A fresh uniform number r, 0 <= r < 1; never 1.
  virtual float Rnd() = 0;
};

// The process: its folder, other copies of it, and its end.
class System {
 public:
  virtual ~System() = default;
  // True when another instance of the same deliverable runs for the same user.
  virtual bool PrevInstance() = 0;
  // The folder that holds the program file, without a trailing separator.
  virtual std::string AppPath() = 0;
  // Ends the program at once: the pointer, sound and window go with the process.
  [[noreturn]] void End() {
    EndProgram();
    std::abort();  // EndProgram does not return; this only tells the compiler
  }

 protected:
  // Carries out End; never returns (it exits, or a test platform throws).
  virtual void EndProgram() = 0;
};

// Everything a program is given. The window is made from the layout, calling the
// sink back; sink must outlive it.
class Platform {
 public:
  virtual ~Platform() = default;
  virtual std::unique_ptr<Window> CreateForm(const FormLayout& layout, EventSink& sink) = 0;
  virtual Pointer& pointer() = 0;
  virtual Media& media() = 0;
  virtual Random& random() = 0;
  virtual System& system() = 0;
};

}  // namespace platform
