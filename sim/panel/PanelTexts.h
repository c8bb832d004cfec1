// The panel's Japanese description of each named scenario.
#pragma once

#include <QString>

namespace simpanel {

// Empty for a name the panel has no text for (the scenario still gets its switch).
QString scenarioText(const char *name);

// The overlay stand-in's scenario, which the panel switches through overlayctl.h.
constexpr const char *kOverlayScenario = "overlay-fails";

} // namespace simpanel
