// The live NTSC display dialog, as far as the image transfer hook needs it.
// (Minimal placeholder until the display dialog itself is built.)
#pragma once

#include <atomic>

class CNtscViewDlg;

// The open NTSC display dialog, null while none is open. Written on the UI thread, read by the
// board library's callback threads in the hook's dispatch.
extern std::atomic<CNtscViewDlg *> g_pNtscViewDlg;
