// Module1: the command texts and flags that start and stop the sound.
#include "saver/module1.h"

namespace saver {

void Module1::ExitSaver() {
  platform_.pointer().ShowCursor(true);
  switch (scene_.sound_stop) {
    case SoundStop::kCloseMusic:
      platform_.media().mciSendString("CLOSE BackgroundMusic");
      break;
    case SoundStop::kStopWave:
      platform_.media().sndPlaySound(nullptr, platform::SND_ASYNC);
      break;
    case SoundStop::kNone:
      break;
  }
  platform_.system().End();
}

void Module1::StartMusic(const std::string& path) {
  platform_.media().mciSendString("OPEN " + path + " TYPE SEQUENCER ALIAS BackgroundMusic");
  platform_.media().mciSendString("PLAY BackgroundMusic FROM 0");
}

void Module1::PlayLoopSound(const std::string& path) {
  platform_.media().sndPlaySound(path.c_str(),
                                 platform::SND_ASYNC | platform::SND_NODEFAULT | platform::SND_LOOP);
}

}  // namespace saver
