# divor's version record and desktop entry.
set(FILE_NAME "divor.scr")
set(KIND screensaver)
set(SUMMARY "Ghosts walk and fly over falling grey dots")
set(DESCRIPTION "A screen saver: grey dots fall point by point over a black screen while two ghosts walk along the bottom edge and a third flies across, under a greeting that changes colour ten times a second. Any key, click or movement of the mouse ends it.")
