// Writing a picture file: a write that fails half way (here the process's file size limit, as a
// full disk would) leaves the earlier file whole and nothing beside it.
#include "tools/PngFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

TEST(PngFile, AFailedWriteLeavesTheEarlierFileWhole)
{
    char name[] = "/tmp/png-file-test-XXXXXX";
    const std::filesystem::path dir = mkdtemp(name);
    const std::string path = (dir / "picture.png").string();
    std::ofstream(path) << "the earlier picture";
    ASSERT_EQ(pngfile::WriteFile(path, std::vector<std::uint8_t>(100, 1)), pngfile::WriteResult::Written);
    EXPECT_EQ(std::filesystem::file_size(path), 100u);

    // Files of this process may grow to 4 KiB only; the larger write fails with EFBIG.
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const pngfile::WriteResult result = pngfile::WriteFile(path, std::vector<std::uint8_t>(1 << 20, 2));
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(result, pngfile::WriteResult::WriteFailed);
    EXPECT_EQ(std::filesystem::file_size(path), 100u) << "the earlier file stays as it was";
    size_t entries = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir))
        entries += entry.path() == path ? 1 : 100;
    EXPECT_EQ(entries, 1u) << "no temporary is left beside it";
    std::filesystem::remove_all(dir);
}
