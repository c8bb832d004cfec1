// The live picture drawn into images of several formats, whole and in parts: inside the painted
// part the picture shows the frame's pixels, outside it nothing is written.
#include "NtscTestSupport.h"

#include <QImage>
#include <QWidget>

using namespace ntsc_test;

TEST_F(NtscViewTest, PictureShowsTheFrameOnlyWherePainted)
{
    Run([&](CNtscViewDlg &dlg) {
        ASSERT_TRUE(fw::test::Click(dlg, IDC_START));
        ASSERT_TRUE(fw::test::WaitUntil([&] { return dlg.Capture().FramesCopied() >= 3; }, 5000));
        ASSERT_TRUE(fw::test::Click(dlg, IDC_STOP)); // the frame holds still from here
        const std::vector<std::uint8_t> frame = dlg.Capture().FrameCopy();
        ASSERT_EQ(frame.size(), kFrameBytes);
        const QRect picture = dlg.DlgItemRect(IDC_PICTURE).adjusted(1, 1, -1, -1);
        const QRect framed = picture & QRect(picture.topLeft(), QSize(640, 480));

        struct Case {
            QImage::Format format;
            QRect painted; // in window pixels
            QPoint at;     // where the painted part's top left lands in the image
        };
        const QPoint p = picture.topLeft();
        const Case cases[] = {
            {QImage::Format_RGB32, dlg.widget()->rect(), {0, 0}},
            {QImage::Format_ARGB32_Premultiplied, QRect(p + QPoint(37, 21), QSize(101, 77)), {5, 9}},
            {QImage::Format_ARGB32, QRect(p - QPoint(4, 4), QSize(60, 700)), {0, 0}},
            {QImage::Format_RGB32, QRect(p + QPoint(300, 400), QSize(400, 200)), {-20, -30}},
            {QImage::Format_RGB888, QRect(p + QPoint(3, 200), QSize(250, 50)), {1, 2}},
        };
        const QColor untouched(1, 2, 3);
        for (const Case &c : cases) {
            QImage image(dlg.widget()->size() + QSize(40, 40), c.format);
            image.fill(untouched);
            dlg.widget()->render(&image, c.at, QRegion(c.painted));
            int wrong = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QPoint w = QPoint(x, y) - c.at + c.painted.topLeft();
                    QColor want;
                    if (!c.painted.contains(w))
                        want = untouched;
                    else if (framed.contains(w)) {
                        const std::uint8_t *px =
                            frame.data() + (std::size_t(w.y() - p.y()) * 640 + std::size_t(w.x() - p.x())) * 3;
                        want = QColor(px[2], px[1], px[0]);
                    } else
                        continue; // the window around the picture
                    if (image.pixelColor(x, y) != want && wrong++ < 3)
                        ADD_FAILURE() << "format " << c.format << " at " << x << "," << y;
                }
        }
    });
}
