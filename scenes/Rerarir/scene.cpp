// Rerarir's column of the scene table and its layout.
#include "scenes/Rerarir/scene.h"

#include "icon_rgba.h"  // made from icon.art at build time
#include "scenes/common.h"

namespace scenes::Rerarir {

using saver::EndAction;

const saver::Scene kScene{
    .name = "Rerarir",
    .second_instance = saver::SecondInstance::kExitSaver,
    .key_or_button_end = EndAction::kExitSaver,
    .movement_end = EndAction::kExitSaver,
    .pictures = {"\\gif1.gif", "\\gif2.gif", "\\gif3.gif", ""},
    .sound_file = "\\walk.wav",
    .sound_start = saver::SoundStart::kWaveAtActivation,
    .sound_stop = saver::SoundStop::kStopWave,
    .DotCount = 325,
    .RespawnSpread = 50,
    .BottomMargin = 8,
    .stack_anigif3 = false,
    .StackGap = 0,
    .sprites_move = true,
    .WalkStep = 50, .FlyStep = kFlyStep, .WalkRestart = kWalkRestart, .FlyOvershoot = kFlyOvershoot,
    .FlyRestart = kFlyRestart,
    .layout = {
        .caption = "Form1",
        .client_area = {0, 0, 12000, 9450},
        .back_color = platform::kColorMenuText,
        .icon = {kIconWidth, kIconHeight, kIconRgba},
        .sprite_count = 3,
        .sprites = {{
            AniGif("AniGif1", {1680, 8050, 1935, 975}, 3413, 1720, kWhite),
            AniGif("AniGif2", {4080, 8145, 1335, 855}, 2355, 1508, kWhite),
            AniGif("AniGif3", {240, 720, 2535, 2175}, 4471, 3836, platform::kBlack),
            {},
        }},
        .label = Banner(180, 90, 3705, "鹰翔动画小站：http://www.example.org/rerarir/"),
        .timer = kTimer2,
        .creation_order = {Sprite(3), Sprite(2), kTimer2Ref, Sprite(1), kLabel1},
        .tab_order = {"AniGif1", "AniGif2", "AniGif3", "Label1"},
    },
};

}  // namespace scenes::Rerarir
