// The four functions the board library calls back, registered by BoardOpen.
// All of them run on threads of the board library, never on the UI thread.
#pragma once

#include <cstdint>

// Image transfer completion: scan deliveries and live video frames (dispatches to the open tool).
void ImageTransferHook(std::uint32_t flags, std::uint32_t startLine, std::uint32_t lineCount,
                       std::uint32_t bufferKind, void *data);
// Board event notifications.
void ScanBufferFreeCallback(std::int32_t bankId);
void DspInterruptCallback(std::int32_t status);
void ScanEndCallback(std::int32_t reason);
