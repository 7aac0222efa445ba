// The simulated SpringBoard on the model platform: its classes in the model's runtime.
#pragma once

#include <string>
#include <vector>

#include "springboard/releases.h"

namespace springboard {

// Installs the host's classes into the model's runtime (see springboard.h).
void installOnModel(const std::vector<std::string> &withoutClasses = {}, bool recording = true,
                    const Host &host = {});

} // namespace springboard
