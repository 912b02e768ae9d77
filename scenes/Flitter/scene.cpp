// Flitter's column of the scene table and its layout.
#include "scenes/Flitter/scene.h"

#include "icon_rgba.h"  // made from icon.art at build time
#include "scenes/common.h"

namespace scenes::Flitter {

using saver::EndAction;

const saver::Scene kScene{
    .name = "Flitter",
    .second_instance = saver::SecondInstance::kUnloadAndReturn,
    .key_or_button_end = EndAction::kShowPointerThenUnload,
    .movement_end = EndAction::kShowPointerThenEnd,
    .pictures = {"\\bao.gif", "\\1.gif", "\\bird.gif", ""},
    .sound_file = "",
    .sound_start = saver::SoundStart::kNever,
    .sound_stop = saver::SoundStop::kNone,
    .DotCount = 500,
    .RespawnSpread = 30,
    .BottomMargin = 10,
    .stack_anigif3 = false,
    .StackGap = 0,
    .sprites_move = true,
    .WalkStep = 250, .FlyStep = kFlyStep, .WalkRestart = kWalkRestart, .FlyOvershoot = kFlyOvershoot,
    .FlyRestart = kFlyRestart,
    .layout = {
        .caption = "Form1",
        .client_area = {0, 0, 11445, 9000},
        .back_color = platform::kColorMenuText,
        .icon = {kIconWidth, kIconHeight, kIconRgba},
        .sprite_count = 3,
        .sprites = {{
            AniGif("AniGif1", {1200, 8040, 1575, 975}, 2778, 1720, platform::kBlack),
            AniGif("AniGif2", {4680, 8040, 1815, 975}, 3201, 1720, platform::kBlack),
            {"AniGif3", {1980, 2280, 1815, 1095}, 3201, 1931, true, 0, 0, platform::kBlack},
            {},
        }},
        .label = Banner(360, 120, 10935, "欢迎访问我的主页：http://www.example.org/flitter/"),
        .timer = kTimer2,
        .creation_order = {Sprite(3), Sprite(2), Sprite(1), kTimer2Ref, kLabel1},
        .tab_order = {"Label1", "AniGif1", "AniGif2", "AniGif3"},
    },
};

}  // namespace scenes::Flitter
