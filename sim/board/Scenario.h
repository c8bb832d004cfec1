// Named fault scenarios (PELORA_SIM_SCENARIO, SimApplyScenario, SimSetScenario).
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
// Any thread, while boards run. On applies the scenario again (a once-only fault is re-armed);
// off undoes what of it is still in place. -1 for an unknown name.
int setScenario(const std::string &name, bool on);
// 1 while the scenario's effect is in place, 0 when not, -1 for an unknown name.
int scenarioActive(const std::string &name);

} // namespace sim
