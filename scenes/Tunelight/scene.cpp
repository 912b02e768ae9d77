// Tunelight's column of the scene table and its layout.
#include "scenes/Tunelight/scene.h"

#include "icon_rgba.h"  // made from icon.art at build time
#include "scenes/common.h"

namespace scenes::Tunelight {

using saver::EndAction;

const saver::Scene kScene{
    .name = "Tunelight",
    .second_instance = saver::SecondInstance::kExitSaver,
    .key_or_button_end = EndAction::kExitSaver,
    .movement_end = EndAction::kExitSaver,
    .pictures = {"\\songgif1.gif", "\\songgif2.gif", "\\songgif3.gif", "\\songgif4.gif"},
    .sound_file = "\\song.mid",
    .sound_start = saver::SoundStart::kMusicAtStartUp,
    .sound_stop = saver::SoundStop::kCloseMusic,
    .DotCount = 325,
    .RespawnSpread = 30,
    .BottomMargin = 8,
    .stack_anigif3 = true,
    .StackGap = 100,
    .sprites_move = false,
    .WalkStep = 0, .FlyStep = 0, .WalkRestart = 0, .FlyOvershoot = 0, .FlyRestart = 0,
    .layout = {
        .caption = "Form1",
        .client_area = {0, 0, 11445, 9000},
        .back_color = platform::kColorMenuText,
        .icon = {kIconWidth, kIconHeight, kIconRgba},
        .sprite_count = 4,
        .sprites = {{
            AniGif("AniGif1", {7560, 7200, 1815, 1815}, 3201, 3201, platform::kBlack),
            AniGif("AniGif2", {3720, 7080, 2055, 1455}, 3625, 2566, platform::kBlack),
            AniGif("AniGif3", {1320, 7050, 5955, 1335}, 10504, 2355, platform::kBlack),
            AniGif("AniGif4", {10080, 120, 1215, 1335}, 2143, 2355, platform::kBlack),
        }},
        .label = Banner(390, 120, 10935,
                        "制作人：林小乐          电子邮件：xiaole@example.org         "
                        "欢迎访问我的主页：http://www.example.org/tunelight/"),
        .timer = kTimer2,
        .creation_order = {Sprite(3), Sprite(2), kTimer2Ref, Sprite(1), Sprite(4), kLabel1},
        .tab_order = {"AniGif1", "AniGif2", "AniGif3", "Label1", "AniGif4"},
    },
};

}  // namespace scenes::Tunelight
