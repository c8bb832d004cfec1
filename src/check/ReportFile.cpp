#include "check/ReportFile.h"

#include <cstdio>
#include <fstream>

namespace check {

std::string WriteReportFile(const std::string &path, const std::string &contents, const char *what)
{
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        out.close();
        if (!out) {
            std::remove(temporary.c_str());
            return std::string(what) + "を書き込めません: " + path;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return std::string(what) + "を書き込めません: " + path;
    }
    return {};
}

} // namespace check
