// Named fault scenarios (PELORA_SIM_SCENARIO, SimApplyScenario).
#pragma once

#include <string>
#include <vector>

namespace sim {

struct ScenarioInfo {
    const char *name;
    const char *what;
};

// 0 when every comma-separated name is known (known ones are applied even if others are not).
// From the environment, the overlay stand-in's names are known too (it applies them itself).
int applyScenarios(const std::string &names, bool fromEnvironment = false);
const std::vector<ScenarioInfo> &scenarioList();

} // namespace sim
