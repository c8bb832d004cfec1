// String table and version information.
#include "res/Resources.h"

#include <string>

namespace res {

std::string_view LoadString(int id)
{
    switch (id) {
    case IDS_ABOUTBOX:
        return "Pelora2 のﾊﾞｰｼﾞｮﾝ情報(&A)...";
    default:
        return {};
    }
}

const VersionInfo &versionInfo()
{
    static constexpr VersionInfo kInfo{
        {1, 0, 0, 1},
        {1, 0, 0, 1},
        0x0411,
        0x04B0,
        "1, 0, 0, 1",
        "1, 0, 0, 1",
        "Pelora2 MFC ｱﾌﾟﾘｹｰｼｮﾝ",
        "Pelora2 ｱﾌﾟﾘｹｰｼｮﾝ",
        "Pelora2",
        "Pelora2.EXE",
        "",
        "",
    };
    return kInfo;
}

std::string versionDotted()
{
    const auto &v = versionInfo().fileVersion;
    return std::to_string(v[0]) + '.' + std::to_string(v[1]) + '.' + std::to_string(v[2]) + '.' +
           std::to_string(v[3]);
}

} // namespace res
