// Tunelight: a band that stands still while its song plays once through.
#pragma once

#include "saver/scene.h"

namespace scenes::Tunelight {
extern const saver::Scene kScene;
}
