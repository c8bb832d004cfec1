#include "check/HtmlParts.h"

#include <QBuffer>
#include <QImage>

#include <algorithm>
#include <cmath>

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

std::string BlockMapDataUri(const std::vector<uint32_t> &blockErrors, uint32_t blocks)
{
    constexpr int kRow = 128;
    const int rows = static_cast<int>((blocks + kRow - 1) / kRow);
    QImage image(kRow, std::max(rows, 1), QImage::Format_RGB32);
    image.fill(QColor(0x30, 0xA0, 0x40));
    uint32_t worst = 0;
    for (uint32_t e : blockErrors)
        worst = std::max(worst, e);
    for (size_t b = 0; b < blockErrors.size() && b < blocks; ++b) {
        if (blockErrors[b] == 0)
            continue;
        // One error already shows as yellow; the block with the most errors is red.
        const double t = worst <= 1 ? 1.0 : std::log(double(blockErrors[b])) / std::log(double(worst));
        const int green = static_cast<int>(0xE0 * (1.0 - t));
        image.setPixel(static_cast<int>(b % kRow), static_cast<int>(b / kRow), qRgb(0xF0, green, 0x20));
    }
    return PngUri(image);
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
