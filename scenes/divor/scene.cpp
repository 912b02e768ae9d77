// divor's column of the scene table and its layout.
#include "scenes/divor/scene.h"

#include "icon_rgba.h"  // made from icon.art at build time
#include "scenes/common.h"

namespace scenes::divor {

using saver::EndAction;

const saver::Scene kScene{
    .name = "divor",
    .second_instance = saver::SecondInstance::kUnloadAndReturn,
    .key_or_button_end = EndAction::kExitSaver,
    .movement_end = EndAction::kExitSaver,
    .pictures = {"\\ghostgif1.gif", "\\ghostgif2.gif", "\\ghostgif3.gif", ""},
    .sound_file = "",
    .sound_start = saver::SoundStart::kNever,
    .sound_stop = saver::SoundStop::kCloseMusic,  // nothing is open; harmless
    .DotCount = 325,
    .RespawnSpread = 30,
    .BottomMargin = 8,
    .stack_anigif3 = false,
    .StackGap = 0,
    .sprites_move = true,
    .WalkStep = 200, .FlyStep = kFlyStep, .WalkRestart = kWalkRestart, .FlyOvershoot = kFlyOvershoot,
    .FlyRestart = kFlyRestart,
    .layout = {
        .caption = "Form1",
        .client_area = {0, 0, 11445, 9000},
        .back_color = platform::kColorMenuText,
        .icon = {kIconWidth, kIconHeight, kIconRgba},
        .sprite_count = 3,
        .sprites = {{
            AniGif("AniGif1", {1920, 6720, 1935, 2175}, 3413, 3836, platform::kBlack),
            AniGif("AniGif2", {4800, 7800, 1335, 1215}, 2355, 2143, platform::kBlack),
            AniGif("AniGif3", {240, 720, 2535, 2175}, 4471, 3836, platform::kBlack),
            {},
        }},
        .label = Banner(360, 120, 10935, "欢迎访问我的主页：http://www.example.org/divor/"),
        .timer = kTimer2,
        .creation_order = {Sprite(3), Sprite(2), kTimer2Ref, Sprite(1), kLabel1},
        .tab_order = {"AniGif1", "AniGif2", "AniGif3", "Label1"},
    },
};

}  // namespace scenes::divor
