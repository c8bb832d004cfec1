#include "TraceRecord.h"

#include <algorithm>
#include <cstring>

namespace trace {
namespace {

// The stored bytes laid out from `to` on, never past `room` bytes.
void spread(const Record &r, uint8_t *to, size_t room)
{
    if (!packedLines(r)) {
        std::memcpy(to, r.data.data(), std::min(r.data.size(), room));
        return;
    }
    const size_t line = size_t(r.lineBytes), pitch = size_t(r.linePitch);
    for (size_t from = 0, at = 0; from < r.data.size() && at < room; from += line, at += pitch)
        std::memcpy(to + at, r.data.data() + from, std::min({line, r.data.size() - from, room - at}));
}

} // namespace

uint64_t pixelBytes(const Record &r)
{
    if (!packedLines(r))
        return r.dataSize;
    const uint64_t lines = r.dataSize < r.lineBytes ? 0 : (r.dataSize - r.lineBytes) / r.linePitch + 1;
    return lines * r.lineBytes;
}

void layOut(const Record &r, uint8_t *buffer, size_t capacity)
{
    if (r.dataOffset < capacity)
        spread(r, buffer + r.dataOffset, capacity - size_t(r.dataOffset));
}

std::vector<uint8_t> laidOut(const Record &r)
{
    if (!packedLines(r))
        return r.data;
    const size_t full = r.data.size() / r.lineBytes, rest = r.data.size() % r.lineBytes;
    const size_t size = rest ? full * r.linePitch + rest
                             : full ? (full - 1) * r.linePitch + r.lineBytes : 0;
    std::vector<uint8_t> out(size, 0);
    spread(r, out.data(), out.size());
    return out;
}

} // namespace trace
