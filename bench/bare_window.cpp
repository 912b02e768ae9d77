// The yardstick for the whole-process benchmark: the least a full-screen SDL program
// does. A borderless desktop-sized window with SDL's software renderer presents a
// cleared frame again and again, and ends on a key, a click or SIGTERM.
#include <SDL.h>

int main() {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
  SDL_Rect bounds;
  SDL_GetDisplayBounds(0, &bounds);
  SDL_Window* window = SDL_CreateWindow("bare", bounds.x, bounds.y, bounds.w, bounds.h,
                                        SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP);
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  if (!window || !renderer) return 1;
  for (;;) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
      if (event.type == SDL_QUIT || event.type == SDL_KEYDOWN || event.type == SDL_MOUSEBUTTONDOWN) {
        SDL_Quit();
        return 0;
      }
    }
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderPresent(renderer);
  }
}
