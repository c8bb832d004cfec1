// The "転送統計..." entry on a tool's picture: right click on the picture, choose it, and the
// tool's transfer statistics window opens (or comes to the front).
#pragma once

#include "framework/Dialog.h"

#include <functional>

// UI thread; once per tool object (the entry stays with the object across its windows).
void AddTransferStatsMenu(fw::Dialog &tool, int pictureId, std::function<void()> open);
