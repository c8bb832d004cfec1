// The overlay stand-in without a GUI: call checking, surface contents and thread safety.
#include "board/overlay.h"
#include "overlayctl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

OverlayImage imageOf(const std::vector<uint8_t> &pixels)
{
    return OverlayImage{0, 0, 640, 480, OVERLAY_FORMAT_RGB24, pixels.data(), OVERLAY_IMAGE_BYTES};
}

OverlayPlacement placementAt(int x, int y)
{
    return OverlayPlacement{0, 0, 640, 480, x, y, 640, 480, 255, 0, 255};
}

} // namespace

TEST(SimOverlay, CallsAreCheckedAndPicturesKept)
{
    OverlaySimReset();
    EXPECT_EQ(OverlaySimHasWindows(), 0);
    const OverlaySurfaceSize size{640, 480};
    uint32_t reserved = 0;
    EXPECT_EQ(OverlayCreateSurface(&size, &reserved), 0u); // before OverlayInit
    OverlayInit();
    const OverlaySurfaceSize wrong{320, 240};
    EXPECT_EQ(OverlayCreateSurface(&wrong, &reserved), 0u);
    EXPECT_EQ(OverlayCreateSurface(nullptr, &reserved), 0u);
    const OverlaySurface s = OverlayCreateSurface(&size, &reserved);
    ASSERT_NE(s, 0u);

    std::vector<uint8_t> pixels(OVERLAY_IMAGE_BYTES);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint8_t>(i * 7);
    OverlayImage image = imageOf(pixels);
    EXPECT_EQ(OverlayWriteImage(s, &image), 0);
    std::vector<uint8_t> back(OVERLAY_IMAGE_BYTES);
    ASSERT_EQ(OverlaySimReadSurface(s, back.data()), 0);
    EXPECT_EQ(back, pixels);
    OverlayImage bad = image;
    bad.format = 2;
    EXPECT_NE(OverlayWriteImage(s, &bad), 0);
    bad = image;
    bad.byteCount = 1000;
    EXPECT_NE(OverlayWriteImage(s, &bad), 0);
    bad = image;
    bad.right = 641;
    EXPECT_NE(OverlayWriteImage(s, &bad), 0);
    bad = image;
    bad.pixels = nullptr;
    EXPECT_NE(OverlayWriteImage(s, &bad), 0);
    EXPECT_NE(OverlayWriteImage(s + 100, &image), 0);

    const OverlayPlacement place = placementAt(113, 226);
    EXPECT_EQ(OverlayShow(s, &place), 0);
    OverlayPlacement got{};
    ASSERT_EQ(OverlaySimLastPlacement(s, &got), 0);
    EXPECT_EQ(got.destX, 113);
    EXPECT_EQ(got.keyBlue, 255u);
    OverlayPlacement badPlace = place;
    badPlace.keyRed = 256;
    EXPECT_NE(OverlayShow(s, &badPlace), 0);
    EXPECT_EQ(OverlaySimWriteCount(), 1u);
    EXPECT_EQ(OverlaySimShowCount(), 1u);

    EXPECT_EQ(OverlayDestroySurface(s), 0);
    EXPECT_NE(OverlayDestroySurface(s), 0);
    EXPECT_NE(OverlayWriteImage(s, &image), 0);
    EXPECT_NE(OverlayShow(s, &place), 0);
    OverlayTerm();

    OverlayInit();
    OverlaySimFailCreate(1);
    EXPECT_EQ(OverlayCreateSurface(&size, &reserved), 0u);
    const OverlaySurface s2 = OverlayCreateSurface(&size, &reserved);
    EXPECT_NE(s2, 0u);
    EXPECT_NE(s2, s);
    OverlaySimFailCreate(-1);
    EXPECT_EQ(OverlayCreateSurface(&size, &reserved), 0u);
    EXPECT_EQ(OverlayCreateSurface(&size, &reserved), 0u);
    OverlayTerm(); // the last user gone takes the surface with it
    EXPECT_EQ(OverlaySimSurfaceCount(), 0);
    OverlaySimReset();
}

TEST(SimOverlay, WritesFromOtherThreadsMeetCreateAndDestroySafely)
{
    OverlaySimReset();
    OverlayInit();
    std::atomic<OverlaySurface> current{0};
    std::atomic<bool> done{false};
    std::vector<uint8_t> pixels(OVERLAY_IMAGE_BYTES, 0x40);
    std::vector<std::thread> writers;
    for (int t = 0; t < 2; ++t)
        writers.emplace_back([&] {
            const OverlayImage image = imageOf(pixels);
            const OverlayPlacement place = placementAt(0, 0);
            while (!done) {
                const OverlaySurface s = current.load();
                if (OverlayWriteImage(s, &image) == 0)
                    OverlayShow(s, &place);
            }
        });
    const OverlaySurfaceSize size{640, 480};
    for (int i = 0; i < 300; ++i) {
        uint32_t reserved = 0;
        const OverlaySurface s = OverlayCreateSurface(&size, &reserved);
        ASSERT_NE(s, 0u);
        current = s;
        std::this_thread::yield();
        current = 0;
        EXPECT_EQ(OverlayDestroySurface(s), 0);
    }
    done = true;
    for (auto &t : writers)
        t.join();
    EXPECT_EQ(OverlaySimSurfaceCount(), 0);
    OverlayTerm();
    OverlaySimReset();
}
