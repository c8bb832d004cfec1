// pelora2-trace frames FILE --out DIR: every delivered frame whose pixels the trace kept, as a
// PNG file (8-bit grey, 16-bit grey, live video as RGB). Line runs are put together into their
// frame; the frame is written when the delivery that ends it arrives.
#include "Tool.h"

#include "pel2ctl.h"
#include "tools/PngEncoder.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace tool {
namespace {

constexpr uint32_t kLiveWidth = 640, kLiveHeight = 480;

struct Exporter {
    std::string dir;
    uint64_t written = 0, notKept = 0, unsupported = 0, failed = 0;
    std::vector<uint8_t> canvas; // the frame being put together, lines of lineBytes
    uint32_t maxLine = 0;
    bool incomplete = false; // a run of this frame was not kept

    void save(const pngfile::Layout &layout, const pngfile::RowFiller &fill, uint64_t record)
    {
        char name[64];
        std::snprintf(name, sizeof name, "frame-%06" PRIu64 ".png", written + 1);
        const std::vector<uint8_t> png = pngfile::EncodeRows(layout, fill);
        const std::string path = (std::filesystem::path(dir) / name).string();
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(png.data()), std::streamsize(png.size()));
        out.close();
        if (png.empty() || !out) {
            std::fprintf(stderr, "pelora2-trace frames: cannot write %s\n", path.c_str());
            ++failed;
            return;
        }
        ++written;
        std::printf("%s  record #%" PRIu64 "  %ux%u  %u bit%s\n", name, record, layout.width,
                    layout.height, unsigned(layout.bitDepth),
                    layout.colour == pngfile::Colour::Rgb ? " RGB" : "");
    }

    void hook(const trace::Record &r, const PictureState &ps)
    {
        if (r.args.size() < 4)
            return;
        const uint32_t flags = uint32_t(r.args[0]), start = uint32_t(r.args[1]),
                       count = uint32_t(r.args[2]), kind = uint32_t(r.args[3]);
        const bool ends = (flags & HOOK_FLAG_FRAME) != 0;
        if (r.dataKind != trace::DataKind::Lines) {
            return;
        }
        if (!r.dataKept) {
            incomplete = true;
            if (ends) {
                ++notKept;
                reset();
            }
            return;
        }
        if (ps.live()) {
            if (r.data.size() < size_t(kLiveWidth) * kLiveHeight * 3) {
                ++unsupported;
                return;
            }
            save({kLiveWidth, kLiveHeight, 8, pngfile::Colour::Rgb},
                 [&](uint32_t row, uint8_t *out) {
                     const uint8_t *bgr = r.data.data() + size_t(row) * kLiveWidth * 3;
                     for (uint32_t x = 0; x < kLiveWidth; ++x) {
                         out[3 * x] = bgr[3 * x + 2];
                         out[3 * x + 1] = bgr[3 * x + 1];
                         out[3 * x + 2] = bgr[3 * x];
                     }
                 },
                 r.number);
            return;
        }
        const uint32_t bpp = ps.bytesPerPixel, width = ps.pixels();
        const size_t lineBytes = size_t(width) * bpp;
        if (lineBytes == 0 || lineBytes > BOARD_LINE_PITCH || start + count > 65536) {
            ++unsupported;
            return;
        }
        const bool pitched = kind == HOOK_BUFFER_LIBRARY || ps.frameUnit;
        // Lines stored packed lie lineBytes apart in the record, whatever their pitch was.
        const size_t pitch = trace::packedLines(r) ? size_t(r.lineBytes)
                             : pitched                ? BOARD_LINE_PITCH
                                                      : lineBytes;
        if (canvas.size() < size_t(start + count) * lineBytes)
            canvas.resize(size_t(start + count) * lineBytes, 0);
        for (uint32_t i = 0; i < count; ++i) {
            const size_t from = size_t(i) * pitch;
            if (from + lineBytes > r.data.size())
                break; // lines the recorder could not see
            std::memcpy(canvas.data() + size_t(start + i) * lineBytes, r.data.data() + from, lineBytes);
            maxLine = std::max(maxLine, start + i + 1);
        }
        if (!ends)
            return;
        const uint32_t height = std::max(maxLine, std::min<uint32_t>(ps.lines(), maxLine ? maxLine : ps.lines()));
        if (incomplete) {
            ++notKept;
        } else if (bpp == 1 || bpp == 2) {
            canvas.resize(size_t(height) * lineBytes, 0);
            save({width, height, uint8_t(8 * bpp), pngfile::Colour::Grey},
                 [&](uint32_t row, uint8_t *out) {
                     const uint8_t *in = canvas.data() + size_t(row) * lineBytes;
                     if (bpp == 1) {
                         std::memcpy(out, in, lineBytes);
                     } else {
                         for (uint32_t x = 0; x < width; ++x) { // little-endian in, PNG big-endian
                             out[2 * x] = in[2 * x + 1];
                             out[2 * x + 1] = in[2 * x];
                         }
                     }
                 },
                 r.number);
        } else {
            ++unsupported;
        }
        reset();
    }

    void reset()
    {
        std::fill(canvas.begin(), canvas.end(), 0);
        maxLine = 0;
        incomplete = false;
    }
};

int frames(const std::vector<std::string> &args)
{
    std::string file, dir;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--out" && i + 1 < args.size())
            dir = args[++i];
        else if (file.empty() && args[i].rfind("-", 0) != 0)
            file = args[i];
        else
            return usageError("frames", "unknown argument " + args[i]);
    }
    if (file.empty() || dir.empty())
        return usageError("frames", "FILE and --out DIR are needed");
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec)) {
        std::fprintf(stderr, "pelora2-trace frames: %s is not a folder\n", dir.c_str());
        return kUsage;
    }
    auto reader = openTrace("frames", file);
    if (!reader)
        return kUsage;
    Exporter ex;
    ex.dir = dir;
    PictureState ps;
    trace::Record r;
    while (reader->next(&r)) {
        if (r.kind == trace::Kind::Call)
            ps.update(r);
        else if (r.kind == trace::Kind::Callback && r.op == trace::kImageTransferHook)
            ex.hook(r, ps);
    }
    std::printf("%" PRIu64 " frames written to %s", ex.written, dir.c_str());
    if (ex.notKept)
        std::printf(", %" PRIu64 " not kept in the trace", ex.notKept);
    if (ex.unsupported)
        std::printf(", %" PRIu64 " deliveries of 3 or 4 bytes per pixel or of unknown size skipped",
                    ex.unsupported);
    std::printf("\n");
    const int status = endOfTrace("frames", *reader);
    return ex.failed || ex.notKept ? kFinding : status;
}

const Registration reg({"frames", "FILE --out DIR", "delivered frames as PNG (8 and 16 bit grey, live video RGB)",
                        frames});

} // namespace
} // namespace tool
