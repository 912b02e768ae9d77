// Form1: start-up, the render loop with its falling dots, the parade, the banner
// and the input handlers.
#include "saver/form1.h"

#include <cmath>

namespace saver {

namespace {

// A banner channel: r * 255, formed exactly, to the nearest integer, halves to even.
int Channel(float r) { return int(std::nearbyint(double(r) * 255.0)); }

}  // namespace

Form1::Form1(const Scene& scene, platform::Platform& platform)
    : scene_(scene), platform_(platform), module1_(scene, platform),
      window_(platform.CreateForm(scene.layout, *this)) {
  AniGif1 = &window_->sprite(1);
  AniGif2 = &window_->sprite(2);
  AniGif3 = &window_->sprite(3);
  if (scene.layout.sprite_count == 4) AniGif4 = &window_->sprite(4);
  Label1 = &window_->label();
}

void Form1::Form_Load() {
  platform::System& system = platform_.system();

  if (system.PrevInstance()) {
    if (scene_.second_instance == SecondInstance::kUnloadAndReturn) {
      window_->Unload();
      return;
    }
    module1_.ExitSaver();
  }

  if (!scene_.sound_file.empty()) SoundPath = system.AppPath() + std::string(scene_.sound_file);

  if (scene_.sound_start == SoundStart::kMusicAtStartUp) module1_.StartMusic(SoundPath);

  platform::Sprite* const sprites[] = {AniGif1, AniGif2, AniGif3, AniGif4};
  for (int i = 0; i < scene_.layout.sprite_count; ++i)
    sprites[i]->SetPictureFile(system.AppPath() + std::string(scene_.pictures[i]));

  window_->Show();
  platform_.pointer().ShowCursor(false);

  // A key or click here may already have unloaded the window; end as the loop's
  // test would rather than seed dots on a window that is gone.
  if (window_->DoEvents() == 0) system.End();

  platform_.random().Randomize();

  SeedDots();
  RenderLoop();
  system.End();
}

void Form1::RenderLoop() {
  while (window_->DoEvents() != 0) {
    for (int pass = 0; pass < kPassesPerStep; ++pass) DotPass();
  }
}

float Form1::IntPartOfRndTimes(float extent) {
  return float(std::floor(double(platform_.random().Rnd()) * double(extent)));
}

void Form1::SeedDots() {
  DotCount = scene_.DotCount;
  for (int i = 1; i <= DotCount; ++i) {
    DotRow& dot = Dots(i);
    dot.DotX = IntPartOfRndTimes(window_->Width());
    dot.DotY = IntPartOfRndTimes(window_->Height());
    dot.DotSpeed = float(double(platform_.random().Rnd()) * 20.0 + 10.0);
  }
}

void Form1::DotPass() {
  platform::Canvas& canvas = window_->canvas();
  const int16_t count = DotCount;
  for (int i = 1; i <= count; ++i) DotStep(i, canvas);
}

inline void Form1::DotStep(int i, platform::Canvas& canvas) {
  DotRow& dot = Dots(i);
  float px = dot.DotX;
  float py = dot.DotY;

  dot.DotY = dot.DotY + dot.DotSpeed;
  if (dot.DotY > canvas.Height()) {
    dot.DotY = 0.0f;
    dot.DotSpeed = float(double(platform_.random().Rnd()) * scene_.RespawnSpread + 5.0);
    dot.DotX = IntPartOfRndTimes(canvas.Width());
    px = 0.0f;
    py = 0.0f;
  }

  const float g = 60.0f + 8.0f * (dot.DotSpeed - 10.0f);
  const auto level = int16_t(std::lrintf(g));  // nearest, halves to even

  canvas.PSet(px, py, platform::kBlack);
  canvas.PSet(dot.DotX, dot.DotY, platform::RGB(level, level, level));
}

void Form1::Form_Activate() {
  AniGif1->SetTop(window_->Height() - AniGif1->Height() - scene_.BottomMargin);
  AniGif2->SetTop(window_->Height() - AniGif2->Height() - scene_.BottomMargin);
  if (scene_.stack_anigif3) AniGif3->SetTop(AniGif2->Top() - AniGif3->Height() - scene_.StackGap);
  if (scene_.sound_start == SoundStart::kWaveAtActivation) module1_.PlayLoopSound(SoundPath);
}

void Form1::Timer2_Timer() {
  const float r1 = platform_.random().Rnd();
  const float r2 = platform_.random().Rnd();
  const float r3 = platform_.random().Rnd();
  Label1->SetForeColor(platform::Colour(Channel(r1) + 256 * Channel(r2) + 65536 * Channel(r3)));

  if (!scene_.sprites_move) return;
  Walk(*AniGif1);
  Walk(*AniGif2);
  Fly(*AniGif3);
}

void Form1::Walk(platform::Sprite& sprite) {
  sprite.SetLeft(sprite.Left() + scene_.WalkStep);
  const float width = window_->Width();
  if (sprite.Left() > width) sprite.SetLeft(scene_.WalkRestart);
}

void Form1::Fly(platform::Sprite& sprite) {
  sprite.SetLeft(sprite.Left() + scene_.FlyStep);
  const float width = window_->Width();
  if (sprite.Left() > width + scene_.FlyOvershoot) sprite.SetLeft(scene_.FlyRestart);
}

void Form1::Form_KeyDown(int16_t, int16_t) { TakeEndAction(scene_.key_or_button_end); }

void Form1::Form_MouseDown(int16_t, int16_t, float, float) {
  TakeEndAction(scene_.key_or_button_end);
}

void Form1::Form_MouseMove(int16_t, int16_t, float x, float y) {
  if (MouseRefX == 0.0f && MouseRefY == 0.0f) {
    MouseRefX = x;
    MouseRefY = y;
    return;
  }
  const float dx = std::fabs(MouseRefX - x);
  const float dy = std::fabs(MouseRefY - y);
  if (dx > kMoveThreshold || dy > kMoveThreshold) TakeEndAction(scene_.movement_end);
}

void Form1::TakeEndAction(EndAction action) {
  if (action == EndAction::kExitSaver) module1_.ExitSaver();  // never returns
  platform_.pointer().ShowCursor(true);
  if (action == EndAction::kShowPointerThenEnd) platform_.system().End();  // never returns
  window_->Unload();  // kShowPointerThenUnload: the loop's next test ends the program
}

void Run(const Scene& scene, platform::Platform& platform) {
  Form1 form(scene, platform);
  form.Form_Load();
  platform.system().End();
}

}  // namespace saver
