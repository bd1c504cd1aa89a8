#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace korvane::bench {

struct Run {
    double seconds = 0;
    double cpuSeconds = 0;  // user and system, threads and child processes included
    long maxRssKiB = 0;
    bool ok = false;
};

// Runs work in a child process, so that its time and peak resident memory are its own.
inline double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

inline Run InChild(const std::function<bool()>& work) {
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        _exit(work() ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Run r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.maxRssKiB = usage.ru_maxrss;
    r.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

// One client's upload and download timings over the rounds, and its peak memory.
struct Contender {
    const char* name;
    std::function<bool()> put;
    std::function<bool()> get;
    std::vector<double> up, down;
    std::vector<double> upCpu, downCpu;
    long upRss = 0, downRss = 0;

    // Uploads then downloads once, each in a child process; false when either failed.
    bool Round() {
        const Run p = InChild(put);
        const Run g = InChild(get);
        if (!p.ok || !g.ok) {
            std::fprintf(stderr, "%s: transfer failed\n", name);
            return false;
        }
        up.push_back(p.seconds);
        down.push_back(g.seconds);
        upCpu.push_back(p.cpuSeconds);
        downCpu.push_back(g.cpuSeconds);
        upRss = std::max(upRss, p.maxRssKiB);
        downRss = std::max(downRss, g.maxRssKiB);
        return true;
    }
};

}  // namespace korvane::bench
