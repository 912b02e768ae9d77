// The scripted platform for unit tests.
#include "platform/fake/fake_platform.h"

#include <charconv>

namespace platform::fake {

std::string Num(float value) {
  char buffer[32];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

FakeSprite::FakeSprite(FakePlatform& platform, const SpriteLayout& layout)
    : name(layout.name), properties(layout.SavedProperties()), platform_(platform),
      left_(layout.place.left), top_(layout.place.top), height_(layout.place.height) {}

void FakeSprite::SetPictureFile(const std::string& path) {
  picture_file = path;
  platform_.Note(name + ".PictureFile=" + path);
}

void FakeSprite::SetLeft(float twips) {
  left_ = twips;
  platform_.Note(name + ".Left=" + Num(twips));
}

void FakeSprite::SetTop(float twips) {
  top_ = twips;
  platform_.Note(name + ".Top=" + Num(twips));
}

FakeLabel::FakeLabel(FakePlatform& platform, const LabelLayout& layout)
    : platform_(platform), fore_color_(layout.fore_color), caption_(layout.caption) {}

void FakeLabel::SetForeColor(Colour colour) {
  fore_color_ = colour;
  platform_.Note("Label1.ForeColor=" + std::to_string(colour));
}

FakeWindow::FakeWindow(FakePlatform& platform, const FormLayout& layout, EventSink& sink)
    : platform_(platform), sink_(sink) {
  canvas_.Resize(platform.width_px, platform.height_px, ToArgb(kBlack));
  canvas_.ClearDirty();
  if (platform.log_points) canvas_.AttachTrace(&platform.points);
  sprites_.resize(size_t(layout.sprite_count));
  for (int i = 0; i < layout.ControlCount(); ++i) {
    const ControlRef control = layout.creation_order[size_t(i)];
    switch (control.kind) {
      case ControlRef::kSprite:
        sprites_[control.sprite - 1] =
            std::make_unique<FakeSprite>(platform, layout.sprites[control.sprite - 1]);
        platform.Note("Create " + std::string(layout.sprites[control.sprite - 1].name));
        break;
      case ControlRef::kLabel:
        label_ = std::make_unique<FakeLabel>(platform, layout.label);
        platform.Note("Create Label1");
        break;
      case ControlRef::kTimer:
        platform.Note("Create Timer2 " + std::to_string(layout.timer.interval_ms));
        break;
    }
  }
}

void FakeWindow::Show() {
  platform_.Note("Show");
  state_.Shown();
}

void FakeWindow::Unload() {
  platform_.Note("Unload");
  state_.Unload();
}

void FakeWindow::Form_Activate() {
  platform_.Note("Form_Activate");
  sink_.Form_Activate();
}

Sprite& FakeWindow::sprite(int number) { return *sprites_.at(size_t(number - 1)); }

void FakeWindow::Deliver(const Event& event) {
  switch (event.kind) {
    case Event::kKey: state_.KeyDown(65, 0); break;
    case Event::kButton: state_.MouseDown(1, 0, event.x, event.y); break;
    case Event::kMove: state_.MouseMove(0, 0, event.x, event.y); break;
    case Event::kTick: state_.Tick(); break;
    case Event::kClose: Unload(); break;
    case Event::kFocusLost: state_.FocusLost(); break;
    case Event::kFocusGained: state_.FocusGained(); break;
    case Event::kResize:
      canvas_.Resize(int(event.x), int(event.y), ToArgb(kBlack));
      canvas_.ClearDirty();
      break;
  }
}

int16_t FakeWindow::DoEvents() {
  const int step = ++platform_.step_count;
  platform_.Note("DoEvents");
  if (platform_.on_step) platform_.on_step(step);
  if (!state_.BeginStep()) return state_.EndStep();
  std::vector<Event> events;
  if (platform_.steps.empty()) {
    events.push_back({Event::kClose});
  } else {
    events = std::move(platform_.steps.front());
    platform_.steps.pop_front();
  }
  for (const Event& event : events) {
    if (!state_.loaded()) break;
    Deliver(event);
  }
  return state_.EndStep();
}

FakePlatform::FakePlatform() = default;

void FakePlatform::Note(std::string line) {
  log.push_back(std::move(line));
  if (on_note) on_note(log.back());
}

std::vector<std::string> FakePlatform::Calls(const std::string& prefix) const {
  std::vector<std::string> lines;
  for (const std::string& line : log)
    if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
  return lines;
}

std::unique_ptr<Window> FakePlatform::CreateForm(const FormLayout& layout, EventSink& sink) {
  Note("CreateForm " + std::string(layout.caption));
  auto created = std::make_unique<FakeWindow>(*this, layout, sink);
  window = created.get();
  return created;
}

int FakePlatform::ShowCursor(bool show) {
  pointer_count += show ? 1 : -1;
  Note(show ? "ShowCursor TRUE" : "ShowCursor FALSE");
  return pointer_count;
}

uint32_t FakePlatform::mciSendString(const std::string& command) {
  Note("mciSendString " + command);
  return 0;
}

bool FakePlatform::sndPlaySound(const char* name, uint32_t flags) {
  Note("sndPlaySound " + std::string(name ? name : "(null)") + " " + std::to_string(flags));
  return true;
}

void FakePlatform::Randomize() { Note("Randomize"); }

float FakePlatform::Rnd() {
  ++rnd_calls;
  if (rnd.empty()) return rnd_default;
  const float r = rnd.front();
  rnd.pop_front();
  return r;
}

bool FakePlatform::PrevInstance() {
  Note("PrevInstance");
  return prev_instance;
}

std::string FakePlatform::AppPath() {
  Note("AppPath");
  return app_path;
}

void FakePlatform::EndProgram() {
  Note("End");
  throw ProgramEnded{};
}

}  // namespace platform::fake
