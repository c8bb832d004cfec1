// Replay mode switched on: from the environment at the first call of the library
// (PELORA_SIM_REPLAY, PELORA_SIM_REPLAY_SPEED), or through simctl.h. Any thread.
#include "ReplayPlayer.h"

#include "TraceFile.h"
#include "simctl.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace sim;

namespace {

// A trace file's records, up to its last complete block.
class FileSource : public RecordSource {
public:
    explicit FileSource(const std::string &path) : reader_(path) {}
    bool ok() const { return reader_.ok(); }
    std::string error() const { return reader_.error(); }
    bool next(trace::Record *record) override { return reader_.next(record); }
    std::string stopReason() const override
    {
        return reader_.truncated() ? "the recording is cut there: " + reader_.error()
                                   : std::string();
    }

private:
    trace::Reader reader_;
};

bool startFile(ReplayPlayer &player, const std::string &path, double speed)
{
    auto source = std::make_unique<FileSource>(path);
    if (!source->ok()) {
        std::fprintf(stderr, "PEL2CTL simulator: cannot replay %s: %s\n", path.c_str(),
                     source->error().c_str());
        return false;
    }
    player.start(std::move(source), speed, path);
    return true;
}

// PELORA_SIM_REPLAY_SPEED: a number >= 0 (0: no waits); anything else is said and ignored.
double speedFromEnvironment()
{
    const char *v = std::getenv("PELORA_SIM_REPLAY_SPEED");
    if (v == nullptr || *v == '\0')
        return 1.0;
    char *end = nullptr;
    const double speed = std::strtod(v, &end);
    if (end == v || *end != '\0' || !(speed >= 0) || speed > 1e6) {
        std::fprintf(stderr, "PEL2CTL simulator: PELORA_SIM_REPLAY_SPEED=%s is not a speed; "
                             "replaying at the recorded speed\n",
                     v);
        return 1.0;
    }
    return speed;
}

} // namespace

namespace sim {

ReplayPlayer &ReplayPlayer::instance()
{
    // Never destroyed: its lane threads may still run while the process exits.
    static ReplayPlayer *player = [] {
        auto *p = new ReplayPlayer;
        const char *path = std::getenv("PELORA_SIM_REPLAY");
        if (path != nullptr && *path != '\0')
            startFile(*p, path, speedFromEnvironment());
        return p;
    }();
    return *player;
}

} // namespace sim

extern "C" {

int SimReplayStart(const char *path, double speed)
{
    if (path == nullptr || !(speed >= 0))
        return -1;
    return startFile(ReplayPlayer::instance(), path, speed) ? 0 : -1;
}

void SimReplayStop(void)
{
    ReplayPlayer::instance().stop();
}

int SimReplayStatus(SimReplayInfo *out)
{
    return ReplayPlayer::instance().info(out);
}

int SimReplayDivergence(uint64_t *record, char *text, size_t size)
{
    SimReplayInfo info;
    if (ReplayPlayer::instance().info(&info) != 0)
        return -1;
    if (info.diverged == 0)
        return 0;
    if (record != nullptr)
        *record = info.divergenceRecord;
    if (text != nullptr && size > 0)
        std::snprintf(text, size, "first divergence at record %llu: the program called %s, the "
                                  "recording has %s",
                      static_cast<unsigned long long>(info.divergenceRecord), info.called,
                      info.expected);
    return 1;
}

} // extern "C"
