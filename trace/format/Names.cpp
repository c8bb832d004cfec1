#include "Names.h"

#include "TraceRecord.h"

namespace trace {

const char *OperationName(int op)
{
    static const char *const names[kOperationCount + 1] = {
        "",                 "BoardOpen",        "BoardClose",       "DspDownload",
        "IoReadLong",       "IoWriteLong",      "StreamBufferSet",  "ScanDataSet",
        "ScanPrepare",      "ImageRequest",     "ErrorInfoGet",     "ImageRequestClear",
        "ScanCancel",       "BoardReset",       "ExclusiveAcquire", "ExclusiveRelease",
        "FrameMemoryRead",  "FrameMemoryWrite", "IoReadShort",      "IoWriteShort",
        "OperationInfoGet"};
    return op > 0 && op <= kOperationCount ? names[op] : "";
}

const char *CallbackName(int op)
{
    switch (op) {
    case kImageTransferHook:
        return "ImageTransferHook";
    case kScanBufferFree:
        return "ScanBufferFree";
    case kDspInterrupt:
        return "DspInterrupt";
    case kScanEnd:
        return "ScanEnd";
    default:
        return "";
    }
}

} // namespace trace
