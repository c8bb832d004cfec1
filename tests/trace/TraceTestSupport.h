// What the trace tests share: running a command as a child with extra environment, and the
// board calls a run printed (PELORA_SIM_TRACE) or a trace lists (`pelora2-trace dump`), compared
// apart from addresses.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace tracetest {

namespace fs = std::filesystem;

struct Ran {
    int status = -1; // the exit status, 128 + the signal that ended it
    std::string out, err;
};

inline std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs argv with extra environment ("NAME=value"), in `workDir` when one is given. The child is
// killed after `killAfterMs` (status 128 + SIGKILL): a hung command fails its test instead of
// holding up the suite.
inline Ran run(const std::vector<std::string> &argv, const std::vector<std::string> &env,
               int killAfterMs = 120000, const fs::path &workDir = {})
{
    static int n = 0;
    const std::string base = fs::temp_directory_path() /
                             ("trace-run-" + std::to_string(getpid()) + "-" + std::to_string(++n));
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen((base + ".out").c_str(), "w", stdout) ||
            !freopen((base + ".err").c_str(), "w", stderr) ||
            (!workDir.empty() && chdir(workDir.c_str()) != 0))
            _exit(127);
        for (const std::string &e : env)
            putenv(strdup(e.c_str()));
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) != pid) {
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(killAfterMs)) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Ran r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = readFile(base + ".out");
    r.err = readFile(base + ".err");
    fs::remove(base + ".out");
    fs::remove(base + ".err");
    return r;
}

// A board call: operation, arguments, result.
using Call = std::tuple<std::string, std::vector<uint64_t>, long>;

// The calls in `text`, each on a line of its own after `prefix` (a pattern): "[sim] " for what
// the simulated board prints, "#N seconds tT " for `pelora2-trace dump`. `broken` counts the
// lines that start like a call but are not whole (the board prints a line in pieces, so two
// threads' lines can come out mixed).
inline std::vector<Call> callsIn(const std::string &text, const std::string &prefix,
                                 size_t *broken = nullptr)
{
    const std::regex start("^" + prefix),
        whole("^" + prefix + R"(([A-Za-z]+)\(((?:0x[0-9a-f]+(?:, 0x[0-9a-f]+)*)?)\) = (-?\d+))");
    std::vector<Call> calls;
    std::istringstream in(text);
    std::smatch m;
    for (std::string line; std::getline(in, line);) {
        if (std::regex_search(line, m, whole)) {
            std::vector<uint64_t> args;
            std::stringstream list(m[2].str());
            for (std::string a; std::getline(list, a, ',');)
                args.push_back(std::stoull(a, nullptr, 16));
            calls.emplace_back(m[1], args, std::stol(m[3]));
        } else if (broken != nullptr && std::regex_search(line, start)) {
            ++*broken;
        }
    }
    return calls;
}

// An address (a 64-bit pointer of the process, a value no 32-bit argument can have) differs
// from run to run: the call with every address as one mark.
inline Call withoutAddresses(Call call)
{
    for (uint64_t &a : std::get<1>(call))
        if (a > 0xFFFFFFFFu)
            a = UINT64_MAX;
    return call;
}

} // namespace tracetest
