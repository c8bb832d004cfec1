#include "scan/ScanToolGate.h"

std::atomic<CRectScanDlg *> g_pRectScanDlg{nullptr};
std::atomic<std::uint32_t> g_nHookLineTotal{0};
session::ToolGate<CRectScanDlg> g_scanToolGate{g_pRectScanDlg};
