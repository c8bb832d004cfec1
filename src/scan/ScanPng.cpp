#include "scan/ScanPng.h"

#include <cstdio>
#include <cstring>

pngfile::SaveRequest ScanPngRequest(std::shared_ptr<const ScanFrame> frame)
{
    pngfile::SaveRequest request;
    const std::uint32_t pixelBytes = frame->PixelBytes();
    char name[64];
    std::snprintf(name, sizeof name, "Scan(%ux%u_%ubit).png", frame->Pixels(), frame->Lines(),
                  pixelBytes * 8);
    request.proposedName = name;
    request.typeName = pixelBytes == 1   ? "PNG 8bitグレー"
                       : pixelBytes == 2 ? "PNG 16bitグレー"
                                         : "PNG 16bitグレー（32bitデータの上位16bit）";
    if (frame->Empty())
        return request;
    request.layout.width = frame->Pixels();
    request.layout.height = frame->Lines();
    request.layout.bitDepth = pixelBytes == 1 ? 8 : 16;
    request.layout.colour = pngfile::Colour::Grey;
    request.fill = [frame](std::uint32_t row, std::uint8_t *out) {
        const std::uint8_t *in = frame->Line(row);
        const std::uint32_t pixels = frame->Pixels();
        switch (frame->PixelBytes()) {
        case 1:
            std::memcpy(out, in, pixels);
            break;
        case 2: // little-endian in the buffer, big-endian in the file
            for (std::uint32_t x = 0; x < pixels; ++x, in += 2, out += 2) {
                out[0] = in[1];
                out[1] = in[0];
            }
            break;
        default: // bits 31..16
            for (std::uint32_t x = 0; x < pixels; ++x, in += 4, out += 2) {
                out[0] = in[3];
                out[1] = in[2];
            }
            break;
        }
    };
    return request;
}
