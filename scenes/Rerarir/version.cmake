# Rerarir's version record and desktop entry.
set(FILE_NAME "Rerarir.scr")
set(KIND screensaver)
set(SUMMARY "An eagle flies and a cat walks to the sound of footsteps")
set(DESCRIPTION "A screen saver: grey dots fall point by point over a black screen while a cat and a duckling walk along the bottom edge and an eagle flies across, to a loop of footsteps. Any key, click or movement of the mouse ends it.")
