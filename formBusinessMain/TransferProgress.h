#pragma once

#include <QString>
#include <cstdint>
#include <deque>

#include "Transfer.h"

namespace korvane {

// What the progress dialog knows at one moment.
struct ProgressSnapshot {
    uint64_t done = 0;
    uint64_t total = 0;  // 0: not known
    uint64_t from = 0;   // a resumed download's bytes present before it began
    int64_t elapsedMs = 0;
    int64_t silentMs = 0;  // since the server last sent or took a byte
};

// The state's progress at nowMs of a transfer that began at startMs.
ProgressSnapshot SnapshotOf(const TransferState& state, int64_t startMs, int64_t nowMs);
// Average bytes per second of what moved in this transfer (not what a resume found).
double BytesPerSecond(const ProgressSnapshot& s);
// Seconds left at the average speed; -1 when not known or while the server is silent.
int64_t SecondsLeft(const ProgressSnapshot& s);

// "50%  50.0 MiB / 100.0 MiB", or "已传 1.5 KiB" without a known size.
QString DoneText(const ProgressSnapshot& s);
// "10.0 MiB/s"; empty before any byte moved.
QString SpeedText(const ProgressSnapshot& s);

// The speed of the last few seconds, from samples of a transfer's bytes taken as it runs (the
// average of the whole transfer hides a server that has just slowed down or sped up).
class RecentSpeed {
public:
    static constexpr int64_t kSpanMs = 5000;
    // The bytes done at nowMs (of a monotonic clock; samples come in time order).
    void Add(int64_t nowMs, uint64_t done);
    // Bytes per second over the last kSpanMs; -1 before samples a second apart.
    double BytesPerSecond() const;
    // "1.5 MiB/s"; empty while not known.
    QString Text() const;

private:
    struct Sample {
        int64_t ms;
        uint64_t done;
    };
    std::deque<Sample> samples_;
};

// The server has been silent this long before the dialog says it waits for it.
constexpr int64_t kSilenceShownMs = 3000;

// "512 B", "1.5 KiB", "12.3 MiB", "1.20 GiB" (1024-based, named so).
QString FormatBytes(uint64_t bytes);
// "0:14", "1:02:03".
QString FormatDuration(int64_t seconds);
// Per mille done; -1 when the total is not known.
int ProgressPermille(const ProgressSnapshot& s);
// The dialog's lines: direction and name (a resume says so), percent and bytes, average speed
// and time left, and whether it waits for the server.
QString ProgressText(Direction direction, const QString& name, const ProgressSnapshot& s);

}  // namespace korvane
