# Flitter's version record and desktop entry.
set(FILE_NAME "Flitter.exe")
set(KIND program)
set(SUMMARY "A leopard cub runs and a bird flaps over falling grey dots")
set(DESCRIPTION "A full-screen animation: grey dots fall point by point over a black screen while a leopard cub and a child cross the bottom edge and a bird flaps across. A key or a click ends it, and so does moving the mouse.")
