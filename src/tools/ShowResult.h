// Shows an operation's box (ops::Result) the way the tools show boxes: owned by the tool's
// window, the operation's text, caption and icon. UI thread, or any thread as fw::MessageBox.
#pragma once

#include "framework/Dialog.h"
#include "ops/Result.h"

// Nothing when the result carries no box.
void ShowResult(const fw::Dialog *owner, const ops::Result &result);
