// How the main menu and its modeless tools talk: the private close message and tool codes.
#pragma once

#include "framework/Messages.h"

constexpr unsigned WM_TOOL_CLOSED = fw::WM_USER + 1; // wParam: tool code, lParam: 0

constexpr unsigned TOOL_REGISTER = 1;
constexpr unsigned TOOL_RECTSCAN = 2;
constexpr unsigned TOOL_SCANDATASET = 3;

// Every modeless tool (register, rectangle-area scan, scan data set) offers
//     void WindDown();
// which, when its window is open, runs the tool's complete close sequence exactly as its own
// close button does (release of workers, buffers and process-wide pointers, destroy the window,
// post WM_TOOL_CLOSED), and does nothing when the window is not open. The main menu calls it for
// each tool before it goes away, so no callback or worker outlives a tool.
