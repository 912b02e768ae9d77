// Flitter: a leopard cub, a walker and a bird; a plain program that unloads on input.
#pragma once

#include "saver/scene.h"

namespace scenes::Flitter {
extern const saver::Scene kScene;
}
