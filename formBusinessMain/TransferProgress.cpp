#include "TransferProgress.h"

#include <QStringList>

#include "Translate.h"

using korvane::Tr;

namespace korvane {

QString FormatBytes(uint64_t bytes) {
    // Powers of 1024, so the names are the binary ones.
    static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
    if (bytes < 1024) {
        return QStringLiteral("%1 B").arg(bytes);
    }
    double value = static_cast<double>(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    return QStringLiteral("%1 %2")
        .arg(value, 0, 'f', unit >= 2 ? 2 : 1)
        .arg(QLatin1String(kUnits[unit]));
}

QString FormatDuration(int64_t seconds) {
    const int64_t h = seconds / 3600;
    const int64_t m = seconds / 60 % 60;
    const int64_t sec = seconds % 60;
    const QString mmss = QStringLiteral("%1:%2").arg(m).arg(sec, 2, 10, QLatin1Char('0'));
    return h > 0 ? QStringLiteral("%1:%2:%3")
                       .arg(h)
                       .arg(m, 2, 10, QLatin1Char('0'))
                       .arg(sec, 2, 10, QLatin1Char('0'))
                 : mmss;
}

int ProgressPermille(const ProgressSnapshot& s) {
    if (s.total == 0) {
        return -1;
    }
    const double share =
        static_cast<double>(std::min(s.done, s.total)) / static_cast<double>(s.total);
    return static_cast<int>(share * 1000.0);
}

ProgressSnapshot SnapshotOf(const TransferState& state, int64_t startMs, int64_t nowMs) {
    ProgressSnapshot s;
    s.done = state.done.load(std::memory_order_relaxed);
    s.total = state.total.load(std::memory_order_relaxed);
    s.from = state.from.load(std::memory_order_relaxed);
    s.elapsedMs = nowMs - startMs;
    s.silentMs = nowMs - state.lastActivityMs.load(std::memory_order_relaxed);
    return s;
}

double BytesPerSecond(const ProgressSnapshot& s) {
    const uint64_t moved = s.done > s.from ? s.done - s.from : 0;
    return s.elapsedMs > 0 ? static_cast<double>(moved) * 1000.0 / static_cast<double>(s.elapsedMs)
                           : 0.0;
}

int64_t SecondsLeft(const ProgressSnapshot& s) {
    const double perSecond = BytesPerSecond(s);
    if (perSecond <= 0 || s.total <= s.done || s.silentMs > kSilenceShownMs) {
        return -1;
    }
    return static_cast<int64_t>(static_cast<double>(s.total - s.done) / perSecond) + 1;
}

QString DoneText(const ProgressSnapshot& s) {
    const int permille = ProgressPermille(s);
    return permille < 0 ? Tr("korvane", "已传 %1").arg(FormatBytes(s.done))
                        : QStringLiteral("%1%  %2 / %3")
                              .arg(permille / 10)
                              .arg(FormatBytes(s.done), FormatBytes(s.total));
}

QString SpeedText(const ProgressSnapshot& s) {
    const double perSecond = BytesPerSecond(s);
    return perSecond > 0 ? FormatBytes(static_cast<uint64_t>(perSecond)) + QStringLiteral("/s")
                         : QString();
}

void RecentSpeed::Add(int64_t nowMs, uint64_t done) {
    samples_.push_back({nowMs, done});
    // One sample at or before the span's start stays, so the span is covered whole.
    while (samples_.size() > 2 && samples_[1].ms <= nowMs - kSpanMs) {
        samples_.pop_front();
    }
}

double RecentSpeed::BytesPerSecond() const {
    if (samples_.size() < 2 || samples_.back().ms - samples_.front().ms < 1000) {
        return -1;
    }
    const Sample& first = samples_.front();
    const Sample& last = samples_.back();
    const uint64_t moved = last.done > first.done ? last.done - first.done : 0;
    return static_cast<double>(moved) * 1000.0 / static_cast<double>(last.ms - first.ms);
}

QString RecentSpeed::Text() const {
    const double perSecond = BytesPerSecond();
    return perSecond >= 0 ? FormatBytes(static_cast<uint64_t>(perSecond)) + QStringLiteral("/s")
                          : QString();
}

QString ProgressText(Direction direction, const QString& name, const ProgressSnapshot& s) {
    QStringList lines;
    const bool upload = direction == Direction::Upload;
    QString head = (upload ? Tr("korvane", "正在上传 %1") : Tr("korvane", "正在下载 %1")).arg(name);
    if (!upload && s.from > 0) {
        head += Tr("korvane", "（续传，已有 %1）").arg(FormatBytes(s.from));
    }
    lines << head;
    lines << DoneText(s);
    if (const QString speed = SpeedText(s); !speed.isEmpty()) {
        QString line = Tr("korvane", "平均速度 %1").arg(speed);
        // Only while bytes arrive: during a stall the average says nothing of what is left.
        if (const int64_t left = SecondsLeft(s); left >= 0) {
            line += Tr("korvane", "，剩余时间 %1").arg(FormatDuration(left));
        }
        lines << line;
    }
    if (s.silentMs > kSilenceShownMs) {
        lines << Tr("korvane", "正在等待服务器响应（%1秒）…").arg(s.silentMs / 1000);
    }
    return lines.join(u'\n');
}

}  // namespace korvane
