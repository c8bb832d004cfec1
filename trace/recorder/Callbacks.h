// Wrapping the program's callbacks so that the recorder sees every call the library makes.
#ifndef PELORA_TRACE_CALLBACKS_H
#define PELORA_TRACE_CALLBACKS_H

#include "Recorder.h"

namespace rec {

struct Wrapped {
    ImageTransferHookFn hook;
    BoardEventFn scanBufferFree, dspInterrupt, scanEnd;
};

// Any thread (BoardOpen's): the functions to hand the library in place of the program's. A null
// callback stays null. The same set of program callbacks gets the same stand-ins again.
Wrapped wrapCallbacks(ImageTransferHookFn hook, BoardEventFn scanBufferFree,
                      BoardEventFn dspInterrupt, BoardEventFn scanEnd);

} // namespace rec

#endif
