// String table, version information, the desktop entry that carries it, and the icon.
#include "res/Resources.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

TEST(ResourceData, AboutBoxStringAndVersionInformation)
{
    EXPECT_EQ(res::LoadString(res::IDS_ABOUTBOX), "Pelora2 のﾊﾞｰｼﾞｮﾝ情報(&A)...");
    EXPECT_TRUE(res::LoadString(0).empty());
    EXPECT_TRUE(res::LoadString(102).empty());
    EXPECT_EQ(res::IDM_ABOUTBOX & 0xFFF0, res::IDM_ABOUTBOX); // survives the system-menu mask
    EXPECT_LT(res::IDM_ABOUTBOX, 0xF000u);

    const res::VersionInfo &v = res::versionInfo();
    const std::uint16_t want[4] = {1, 0, 0, 1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(v.fileVersion[i], want[i]);
        EXPECT_EQ(v.productVersion[i], want[i]);
    }
    EXPECT_EQ(v.language, 0x0411);
    EXPECT_EQ(v.codePage, 0x04B0);
    EXPECT_EQ(v.fileVersionText, "1, 0, 0, 1");
    EXPECT_EQ(v.productVersionText, "1, 0, 0, 1");
    EXPECT_EQ(v.fileDescription, "Pelora2 MFC ｱﾌﾟﾘｹｰｼｮﾝ");
    EXPECT_EQ(v.productName, "Pelora2 ｱﾌﾟﾘｹｰｼｮﾝ");
    EXPECT_EQ(v.internalName, "Pelora2");
    EXPECT_EQ(v.originalFilename, "Pelora2.EXE");
    EXPECT_TRUE(v.companyName.empty());
    EXPECT_TRUE(v.legalTrademarks.empty());
    EXPECT_EQ(res::versionDotted(), "1.0.0.1");
}

TEST(ResourceData, DesktopEntryCarriesTheVersionInformation)
{
    const auto path = std::filesystem::path(PELORA_SOURCE_DIR) / "src/res/pelora2.desktop";
    std::ifstream in(path);
    ASSERT_TRUE(in) << path;
    std::map<std::string, std::string> entry;
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "[Desktop Entry]");
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos)
            entry[line.substr(0, eq)] = line.substr(eq + 1);
    }
    const res::VersionInfo &v = res::versionInfo();
    EXPECT_EQ(entry["Type"], "Application");
    EXPECT_EQ(entry["Name"], v.internalName);
    EXPECT_EQ(entry["Exec"], v.internalName);
    EXPECT_EQ(entry["Comment"], v.fileDescription);
    EXPECT_EQ(entry["GenericName"], v.productName);
    EXPECT_EQ(entry["X-Pelora2-FileVersion"], res::versionDotted());
    EXPECT_EQ(entry["X-Pelora2-ProductVersion"], res::versionDotted());
    EXPECT_EQ(entry["X-Pelora2-InternalName"], v.internalName);
}

TEST(ResourceData, IconAtEverySizeWithTransparentCorners)
{
    const QIcon icon = res::AppIcon();
    ASSERT_FALSE(icon.isNull());
    for (int size : {16, 32, 48, 256}) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
        const QImage img = res::AppIconPixmap(size).toImage();
        ASSERT_EQ(img.size(), QSize(size, size));
        EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(img.pixel(size - 1, size - 1)), 0);
        EXPECT_EQ(qAlpha(img.pixel(size / 2, size / 2)), 255);
    }
}
