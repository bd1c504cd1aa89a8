#include "FtpDriver.h"

#include <QFileInfo>
#include <chrono>

#include "CFTPClient.h"

namespace korvane {

int64_t MonotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void PrepareClient(CFTPClient& client, const TransferRequest& request, TransferState& state,
                   const std::atomic<bool>* cancel) {
    client.SetTimeouts(request.timeouts);
    client.SetClock(request.clock);
    client.SetOptions(request.settings.options);
    client.SetCancelFlag(cancel);
    client.SetObserver([&state](uint64_t done, uint64_t total, uint64_t from) {
        state.total.store(total, std::memory_order_relaxed);
        state.from.store(from, std::memory_order_relaxed);
        state.done.store(done, std::memory_order_relaxed);
        state.lastActivityMs.store(MonotonicMs(), std::memory_order_relaxed);
    });
    state.lastActivityMs.store(MonotonicMs());
}

bool Advance(CFTPClient& client, TransferState& state, TransferOutcome& outcome,
             TransferOutcome::Step next, bool ok) {
    if (!ok) {
        outcome.reason = QString::fromUtf8(client.m_szLastError).trimmed();
        outcome.cancelled = state.cancel.load();
        return false;
    }
    outcome.reached = next;
    state.lastActivityMs.store(MonotonicMs());
    return true;
}

bool OpenSession(CFTPClient& client, const TransferRequest& request, TransferState& state,
                 TransferOutcome& outcome) {
    using Step = TransferOutcome::Step;
    const FtpSettings& s = request.settings;
    return Advance(client, state, outcome, Step::Directory,
                   client.Connect(s.server.toUtf8().constData(), s.user.toUtf8().constData(),
                                  s.password.toUtf8().constData())) &&
           Advance(client, state, outcome, Step::Transfer,
                   client.SetCurrentDirectory(s.directory.toUtf8().constData()));
}

namespace {
QString CancelMessage(const TransferRequest& job, const TransferOutcome& outcome) {
    const bool upload = job.direction == Direction::Upload;
    if (outcome.reached != TransferOutcome::Step::Transfer) {
        return upload ? QStringLiteral("已取消上传。") : QStringLiteral("已取消下载。");
    }
    if (upload) {
        // Under a temporary name the upload's own clean-up removes what arrived; stored
        // directly, what arrived replaced the file that was there.
        return job.settings.options.storeViaPart
                   ? QStringLiteral("已取消上传，服务器上的文件未改变。")
                   : QStringLiteral("已取消上传，服务器上可能留有不完整的文件[%1]。")
                         .arg(job.remote);
    }
    // A resume needs more than the bytes it compares again, and a restart rule that the
    // server's words are known to meet; else the promise could not be kept.
    const QFileInfo held(job.local);
    if (!held.exists()) {
        return QStringLiteral("已取消下载。");
    }
    if (held.size() <= static_cast<qint64>(CFTPClient::kOverlap)) {
        return QStringLiteral("已取消下载，已收到的部分保留在[%1]，再次下载时将从头下载。")
            .arg(job.local);
    }
    if (job.settings.options.restart == ftp::RestartRule::Strict) {
        return QStringLiteral("已取消下载，已收到的部分保留在[%1]。").arg(job.local);
    }
    return QStringLiteral("已取消下载，已收到的部分保留在[%1]，再次下载时从那里续传。")
        .arg(job.local);
}
}  // namespace

QString OutcomeMessage(const TransferRequest& job, const TransferOutcome& outcome) {
    using Step = TransferOutcome::Step;
    if (outcome.Succeeded()) {
        return QString();
    }
    if (outcome.cancelled) {
        return CancelMessage(job, outcome);
    }
    QString text;
    switch (outcome.reached) {
        case Step::Login:
            text = QStringLiteral("不能登录远程FTP服务器，请确定正确的用户名及密码！");
            break;
        case Step::Directory:
            text = QStringLiteral("设置远程路径出错！");
            break;
        case Step::Verify:
        case Step::Register:
        case Step::Publish:
        case Step::Commit:
            return outcome.reason;  // the step wrote the whole message
        default:
            text = (job.direction == Direction::Upload ? QStringLiteral("上传文件[%1]出错！")
                                                       : QStringLiteral("下载文件[%1]出错！"))
                       .arg(job.remote);
    }
    return outcome.reason.isEmpty() ? text : text + u'\n' + outcome.reason;
}

}  // namespace korvane
