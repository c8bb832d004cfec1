// A check plan: the checks and their parameters as a JSON file, the same names as the command
// line (see ListText and the README), e.g.
//   {"checks": ["open", "memory"], "board": 0,
//    "memory": {"banks": [1], "patterns": ["walking-ones"], "seed": "0x1234", "preserve": true},
//    "scan": {"frames": 10, "pixels": 512, "lines": 256, "unit": "line", "pixelSize": 16,
//             "buffer": "program", "lineInterval": 64},
//    "video": {"seconds": 2}, "registers": {"write": ["0x50"]}, "dsp": {"file": "a.idm"},
//    "timeoutMs": 5000, "tier": "quick", "loops": 3, "reports": {"junit": "r.xml", "json": "r.json", "html": "r.html"}}
// "all": true runs every check. Paths are taken as given (relative ones from the working folder).
// Numbers may be written as JSON numbers or as text (decimal or 0x hex). An unknown key or a key
// given twice is an error, so that a misspelt or repeated parameter never passes silently. The
// plan must be a regular file of at most 1 MiB.
#pragma once

#include "check/CheckOptions.h"

#include <string>

namespace check {

// Reads the plan into `options`; answers one line in Japanese, or empty.
std::string ReadPlanFile(const std::string &path, CheckOptions &options);
std::string ReadPlanText(const std::string &json, CheckOptions &options);

} // namespace check
