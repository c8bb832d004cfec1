// `pelora2-check --all` with default counts on the simulated board, as a test line runs it: the
// wall time of the whole run and each check's share (from its JSON report). The target is a run
// under 20 s; the figures are printed, never judged.
#include <benchmark/benchmark.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

struct Run {
    int status = -1;
    double seconds = 0;
    std::map<std::string, double> groupSeconds;
};

Run RunAll(const std::string &scenario)
{
    const std::string json = "/tmp/bench_check_all.json";
    const std::string command = "PELORA_SIM_SCENARIO=" + scenario + " " + PELORA2_CHECK_PATH
                                + " --all --no-progress --json " + json + " > /dev/null";
    const auto start = std::chrono::steady_clock::now();
    const int raw = std::system(command.c_str());
    Run run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(json);
    std::stringstream text;
    text << in.rdbuf();
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(text.str())).object();
    for (const QJsonValue &v : root["cases"].toArray())
        run.groupSeconds[v["group"].toString().toStdString()] += v["seconds"].toDouble();
    std::remove(json.c_str());
    return run;
}

void BM_CheckAll(benchmark::State &state)
{
    Run last;
    for (auto _ : state) {
        last = RunAll("");
        state.SetIterationTime(last.seconds);
    }
    state.counters["exit"] = last.status;
    for (const auto &[group, seconds] : last.groupSeconds)
        state.counters[group + "_s"] = seconds;
    std::printf("pelora2-check --all: %.2f s (exit %d)", last.seconds, last.status);
    for (const auto &[group, seconds] : last.groupSeconds)
        std::printf(", %s %.2f s", group.c_str(), seconds);
    std::printf("\n");
}
BENCHMARK(BM_CheckAll)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(2);

} // namespace

BENCHMARK_MAIN();
