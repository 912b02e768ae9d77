// divor: walking ghosts and a flying one, silent.
#pragma once

#include "saver/scene.h"

namespace scenes::divor {
extern const saver::Scene kScene;
}
