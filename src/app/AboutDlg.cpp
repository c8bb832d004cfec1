#include "app/AboutDlg.h"

#include "res/Resources.h"

CAboutDlg::CAboutDlg() : fw::Dialog(res::IDD_ABOUTBOX) {}
