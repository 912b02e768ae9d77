# Tunelight's version record and desktop entry.
set(FILE_NAME "Tunelight.scr")
set(KIND screensaver)
set(SUMMARY "A small band plays its song over falling grey dots")
set(DESCRIPTION "A screen saver: grey dots fall point by point over a black screen while a singer, a guitarist and a long keyboard stand at the bottom and a note drifts in the corner, to a song played once through. Any key, click or movement of the mouse ends it.")
