#include "check/HtmlParts.h"

#include <QBuffer>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace check {
namespace {

std::string PngUri(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return {};
    return "data:image/png;base64," + bytes.toBase64().toStdString();
}

double Percentile(const std::vector<double> &sorted, double p)
{
    const size_t i = std::min(sorted.size() - 1, static_cast<size_t>(std::ceil(p * sorted.size())) - 1);
    return sorted[i];
}

} // namespace

std::string PictureDataUri(const Picture &p)
{
    if (p.channels == 0 || p.width == 0 || p.height == 0
        || p.pixels.size() < static_cast<size_t>(p.width) * p.height * p.channels)
        return {};
    const QImage::Format format = p.channels == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888;
    const QImage image(p.pixels.data(), static_cast<int>(p.width), static_cast<int>(p.height),
                       static_cast<qsizetype>(p.width) * p.channels, format);
    return PngUri(image); // QImage borrows the pixels; the PNG is made before they go
}

std::string MemoryMapSvg(const std::vector<uint32_t> &blockErrors, uint32_t blocks, int scale)
{
    constexpr uint32_t kRow = 128;       // blocks a row: 512 KiB
    constexpr uint32_t kBlock = 0x1000;  // bytes a block
    constexpr int kLeft = 88, kTop = 24; // room for the offset axis and a ring at the edge
    const uint32_t rows = std::max<uint32_t>(1, (blocks + kRow - 1) / kRow);
    const int width = static_cast<int>(kRow) * scale, height = static_cast<int>(rows) * scale;
    uint32_t worst = 0, bad = 0;
    for (size_t b = 0; b < blockErrors.size() && b < blocks; ++b) {
        worst = std::max(worst, blockErrors[b]);
        bad += blockErrors[b] != 0 ? 1 : 0;
    }
    auto n = [](double v) { return std::to_string(static_cast<long long>(std::lround(v))); };
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"map\" width=\"" + n(kLeft + width + 14)
                      + "\" height=\"" + n(kTop + height + 12) + "\" font-size=\"10\" font-family=\"monospace\">";
    // The axis: a row's first offset every 4 MiB at the left, the offset within the row on top.
    const uint32_t labelEvery = std::max<uint32_t>(1, rows / 8);
    for (uint32_t row = 0; row < rows; row += labelEvery) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%07X", row * kRow * kBlock);
        svg += "<text x=\"" + n(kLeft - 12) + "\" y=\"" + n(kTop + row * scale + 8) + "\" text-anchor=\"end\">" + text + "</text>";
    }
    for (uint32_t col = 0; col < kRow; col += 32) {
        char text[16];
        std::snprintf(text, sizeof text, "+0x%05X", col * kBlock);
        svg += "<text x=\"" + n(kLeft + col * scale) + "\" y=\"" + n(kTop - 10) + "\">" + text + "</text>";
    }
    svg += "<rect x=\"" + n(kLeft) + "\" y=\"" + n(kTop) + "\" width=\"" + n(width) + "\" height=\"" + n(height)
           + "\" fill=\"#30A040\"/>";
    // Runs of bad blocks in a row as one rectangle, yellow (one error) to red (the most).
    for (uint32_t row = 0; row < rows; ++row)
        for (uint32_t col = 0; col < kRow;) {
            const size_t b = size_t{row} * kRow + col;
            if (b >= blocks || b >= blockErrors.size() || blockErrors[b] == 0) {
                ++col;
                continue;
            }
            uint32_t end = col;
            uint64_t errors = 0, most = 0;
            for (; end < kRow && b + (end - col) < blockErrors.size() && blockErrors[b + (end - col)] != 0; ++end) {
                errors += blockErrors[b + (end - col)];
                most = std::max<uint64_t>(most, blockErrors[b + (end - col)]);
            }
            const double t = worst <= 1 ? 1.0 : std::log(double(most)) / std::log(double(worst));
            char colour[8];
            std::snprintf(colour, sizeof colour, "#F0%02X20", static_cast<int>(0xE0 * (1.0 - t)));
            char title[64];
            std::snprintf(title, sizeof title, "0x%07X-0x%07X: %llu", static_cast<unsigned>(b * kBlock),
                          static_cast<unsigned>((b + (end - col)) * kBlock - 1), static_cast<unsigned long long>(errors));
            const double x = kLeft + col * scale, y = kTop + row * scale;
            svg += "<rect x=\"" + n(x) + "\" y=\"" + n(y) + "\" width=\"" + n((end - col) * scale) + "\" height=\""
                   + n(scale) + "\" fill=\"" + colour + "\"><title>" + title + "</title></rect>";
            // A few bad blocks among thousands: a ring around each, so that one bad byte shows.
            if (bad <= 64)
                svg += "<circle cx=\"" + n(x + scale / 2.0) + "\" cy=\"" + n(y + scale / 2.0) + "\" r=\"" + n(scale + 4)
                       + "\" fill=\"none\" stroke=\"#D00000\" stroke-width=\"2\"/>";
            col = end;
        }
    return svg + "</svg>";
}

std::string HistogramSvg(const std::vector<double> &intervalsUs)
{
    if (intervalsUs.empty())
        return "<p>間隔のデータがありません。</p>";
    std::vector<double> sorted = intervalsUs;
    std::sort(sorted.begin(), sorted.end());
    const double low = sorted.front();
    const double high = sorted.back();
    constexpr int kBins = 40;
    constexpr int kWidth = 480;
    constexpr int kHeight = 120;
    std::vector<int> bins(kBins, 0);
    const double span = high - low;
    for (double v : sorted) {
        const int b = span <= 0 ? 0 : std::min(kBins - 1, static_cast<int>((v - low) / span * kBins));
        ++bins[b];
    }
    const int tallest = *std::max_element(bins.begin(), bins.end());
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(kWidth)
                      + "\" height=\"" + std::to_string(kHeight + 40) + "\" class=\"histogram\">";
    svg += "<rect x=\"0\" y=\"0\" width=\"" + std::to_string(kWidth) + "\" height=\"" + std::to_string(kHeight)
           + "\" fill=\"#f4f4f4\"/>";
    const double barWidth = double(kWidth) / kBins;
    for (int b = 0; b < kBins; ++b) {
        if (bins[b] == 0)
            continue;
        const double h = std::max(1.0, double(bins[b]) / tallest * (kHeight - 4));
        svg += "<rect x=\"" + FormatNumber(b * barWidth) + "\" y=\"" + FormatNumber(kHeight - h) + "\" width=\""
               + FormatNumber(barWidth - 1) + "\" height=\"" + FormatNumber(h) + "\" fill=\"#3070c0\"><title>"
               + std::to_string(bins[b]) + "</title></rect>";
    }
    svg += "<text x=\"0\" y=\"" + std::to_string(kHeight + 14) + "\" font-size=\"11\">" + FormatNumber(low)
           + " µs</text>";
    svg += "<text x=\"" + std::to_string(kWidth) + "\" y=\"" + std::to_string(kHeight + 14)
           + "\" font-size=\"11\" text-anchor=\"end\">" + FormatNumber(high) + " µs</text>";
    svg += "<text x=\"0\" y=\"" + std::to_string(kHeight + 32) + "\" font-size=\"12\">件数 "
           + std::to_string(sorted.size()) + "、最小 " + FormatNumber(low) + "、中央値 "
           + FormatNumber(Percentile(sorted, 0.5)) + "、p99 " + FormatNumber(Percentile(sorted, 0.99))
           + "、最大 " + FormatNumber(high) + " µs</text>";
    return svg + "</svg>";
}

std::string HtmlEscape(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += ch;
        }
    }
    return out;
}

} // namespace check
