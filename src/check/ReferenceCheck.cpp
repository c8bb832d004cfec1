#include "check/ReferenceCheck.h"

#include "ops/CheckedFile.h"

#include <QBuffer>
#include <QImage>

#include <algorithm>

namespace check {
namespace {

bool WholeFrame(const ops::ScanRunReport &r)
{
    return r.pixels != 0 && r.lines != 0 && r.pixelBytes != 0
           && r.lastFrame.size() >= static_cast<size_t>(r.pixels) * r.pixelBytes * r.lines;
}

ops::PictureView FrameView(const ops::ScanRunReport &r)
{
    return {r.lastFrame.data(), r.pixels, r.lines, r.pixelBytes};
}

std::string Percent(double share) { return FormatNumber(share * 100) + " %"; }

} // namespace

void JudgeReference(CaseResult &c, const ops::ScanRunReport &r, const CheckOptions &o, RunResults &results)
{
    const ScanSettings &s = o.scan;
    c.Set("reference", s.referenceFile);
    c.Set("referenceTolerance", s.referenceTolerance);
    c.Set("referenceMaxShare", s.referenceMaxShare);
    results.referenceDifference = {};
    if (!WholeFrame(r)) {
        c.Fail("参照画像と比べるフレームがありません");
        return;
    }
    const ops::PictureDifference d =
        ops::ComparePictures(FrameView(r), o.reference.View(), s.referenceTolerance, s.referenceMaxShare);
    if (!d.sameGeometry) {
        c.Fail("フレームの大きさか画素サイズが参照画像と違います（フレーム " + std::to_string(r.pixels) + " x "
               + std::to_string(r.lines) + "、" + std::to_string(r.pixelBytes * 8) + " ビット）");
        return;
    }
    c.Set("referenceFrame", r.lastFrameNumber);
    c.Set("referenceDiffering", d.differing);
    c.Set("referenceShare", d.share);
    results.referenceDifference.width = r.pixels;
    results.referenceDifference.height = r.lines;
    results.referenceDifference.channels = 1;
    results.referenceDifference.pixels = d.difference;
    if (d.differing == 0)
        return;
    // The box's ends are exclusive; the text names the first and last column and line.
    const std::string box = "x " + std::to_string(d.boxX0) + "〜" + std::to_string(d.boxX1 - 1) + "、y "
                            + std::to_string(d.boxY0) + "〜" + std::to_string(d.boxY1 - 1);
    c.Set("referenceBox", std::to_string(d.boxX0) + "," + std::to_string(d.boxY0) + "-" + std::to_string(d.boxX1 - 1)
                              + "," + std::to_string(d.boxY1 - 1));
    c.Set("referenceWorst", "x=" + std::to_string(d.worstX) + " y=" + std::to_string(d.worstY) + " expected="
                                + std::to_string(d.worstExpected) + " actual=" + std::to_string(d.worstActual));
    if (d.matches)
        return;
    c.Fail("フレーム " + std::to_string(r.lastFrameNumber) + " が参照画像と一致しません: " + std::to_string(d.differing)
           + " 画素（" + Percent(d.share) + "、許容 " + Percent(s.referenceMaxShare) + "）が許容差 "
           + std::to_string(s.referenceTolerance) + " を超えて違います。範囲 " + box + "、最大の差は x "
           + std::to_string(d.worstX) + " y " + std::to_string(d.worstY) + "（参照 " + std::to_string(d.worstExpected)
           + "、実際 " + std::to_string(d.worstActual) + "）");
}

std::string GreyPngBytes(const ops::PictureView &frame)
{
    if (frame.data == nullptr || frame.pixels == 0 || frame.lines == 0 || frame.pixelBytes < 1 || frame.pixelBytes > 2)
        return {};
    QImage image(static_cast<int>(frame.pixels), static_cast<int>(frame.lines),
                 frame.pixelBytes == 1 ? QImage::Format_Grayscale8 : QImage::Format_Grayscale16);
    if (image.isNull())
        return {};
    for (uint32_t y = 0; y < frame.lines; ++y) {
        uchar *line = image.scanLine(static_cast<int>(y));
        if (frame.pixelBytes == 1) {
            std::copy_n(frame.data + static_cast<size_t>(y) * frame.pixels, frame.pixels, line);
            continue;
        }
        auto *out = reinterpret_cast<quint16 *>(line); // native order, as QImage keeps it
        for (uint32_t x = 0; x < frame.pixels; ++x)
            out[x] = static_cast<quint16>(frame.At(x, y));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return {};
    return bytes.toStdString();
}

void SaveReference(CaseResult &c, const ops::ScanRunReport &r, const std::string &path)
{
    if (!c.passed()) {
        // Failing or errored already: the words follow its reason as a sentence of their own.
        c.diagnosis += (c.diagnosis.empty() || c.diagnosis.ends_with("。") ? "" : "。")
                       + std::string("参照画像は保存していません");
        return;
    }
    const std::string png = WholeFrame(r) ? GreyPngBytes(FrameView(r)) : std::string();
    if (png.empty()) {
        c.Error("参照画像にするフレームがありません");
        return;
    }
    const ops::FileWriteOutcome written = ops::WriteFileWhole(path, png);
    if (!written.ok()) {
        c.Error("参照画像を書き込めません: " + path + "（" + written.text() + "）");
        return;
    }
    c.Set("referenceSaved", path);
    c.note += (c.note.empty() ? "" : "、") + std::string("参照画像を保存しました (フレーム ")
              + std::to_string(r.lastFrameNumber) + ")";
}

} // namespace check
