// Rerarir: two walkers on white and an eagle, over a looping wave of footsteps.
#pragma once

#include "saver/scene.h"

namespace scenes::Rerarir {
extern const saver::Scene kScene;
}
