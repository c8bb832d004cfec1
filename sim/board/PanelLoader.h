// Brings up the simulator's panel (libPEL2SIMPANEL.so, Qt Widgets) when PELORA_SIM_PANEL asks
// for it. This library itself stays free of Qt: the panel is a library of its own, loaded here
// only into a process that already runs Qt Widgets.
#pragma once

namespace sim {

// Any thread (BoardOpen calls it first thing). Without PELORA_SIM_PANEL, or with it empty or
// "0", it does nothing at all. Otherwise, once Qt Widgets is loaded in the process, it loads the
// panel library from this library's folder and asks it to show its window on the Qt
// application's thread; a program without Qt (the command-line checker) never loads it.
void showPanelIfAsked();

} // namespace sim
