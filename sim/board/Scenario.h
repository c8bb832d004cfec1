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
int applyScenarios(const std::string &names);
const std::vector<ScenarioInfo> &scenarioList();

} // namespace sim
