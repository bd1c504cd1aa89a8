#include "Transfer.h"

#include <QFileInfo>
#include <chrono>
#include <utility>

#include "LocalCopy.h"
#include "Translate.h"

using korvane::Tr;

namespace korvane {

namespace {
thread_local StepWarnings* tCollector = nullptr;
}  // namespace

StepWarnings::StepWarnings() : outer_(tCollector) {
    tCollector = this;
}

StepWarnings::~StepWarnings() {
    tCollector = outer_;
}

QStringList StepWarnings::Take() {
    return std::exchange(said_, {});
}

void StepWarnings::Raise(const QString& text) {
    if (tCollector != nullptr) {
        tCollector->said_ << text;
    }
}

int64_t MonotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void PrepareStore(store::FileStore& store, TransferState& state) {
    store.SetCancelFlag(&state.cancel);
    store.SetProgress([&state](uint64_t done, uint64_t total, uint64_t from) {
        state.total.store(total, std::memory_order_relaxed);
        state.from.store(from, std::memory_order_relaxed);
        state.done.store(done, std::memory_order_relaxed);
        state.lastActivityMs.store(MonotonicMs(), std::memory_order_relaxed);
    });
    state.lastActivityMs.store(MonotonicMs());
}

bool Advance(const store::Result& result, TransferState& state, TransferOutcome& outcome,
             TransferOutcome::Step next) {
    if (!result.Ok()) {
        outcome.reason = result.reason;
        outcome.fault = result.fault;
        outcome.code = result.code;
        outcome.cancelled = result.fault == store::Fault::Cancelled || state.cancel.load();
        return false;
    }
    outcome.reached = next;
    state.lastActivityMs.store(MonotonicMs());
    return true;
}

bool OpenSession(store::FileStore& store, TransferState& state, TransferOutcome& outcome) {
    using Step = TransferOutcome::Step;
    const store::Result opened = store.Open();
    if (opened.fault == store::Fault::Folder) {
        outcome.reached = Step::Directory;
    }
    return Advance(opened, state, outcome, Step::Transfer);
}

namespace {
QString KeptText() {
    return Tr("korvane", "\n已上传的部分保留在服务器上，再次上传该文件时从中断处继续。");
}

QString CancelMessage(const TransferRequest& job, const TransferOutcome& outcome) {
    const bool upload = job.direction == Direction::Upload;
    if (outcome.reached != TransferOutcome::Step::Transfer) {
        return upload ? Tr("korvane", "已取消上传。") : Tr("korvane", "已取消下载。");
    }
    if (upload) {
        // Under a temporary name the upload's own clean-up removes what arrived, unless it is
        // held for a resume; stored directly, what arrived replaced the file that was there.
        if (!job.settings.viaTemporary) {
            return Tr("korvane", "已取消上传，服务器上可能留有不完整的文件[%1]。").arg(job.remote);
        }
        return Tr("korvane", "已取消上传，服务器上的文件未改变。") +
               (outcome.kept ? KeptText() : QString());
    }
    // A resume needs more than the bytes it compares again, and a restart rule that the
    // server's words are known to meet; else the promise could not be kept.
    const QString part = PartPath(job.local);
    const QFileInfo held(part);
    if (!held.exists()) {
        return Tr("korvane", "已取消下载。");
    }
    if (held.size() <= static_cast<qint64>(store::kResumeOverlap)) {
        return Tr("korvane", "已取消下载，已收到的部分保留在[%1]，再次下载时将从头下载。")
            .arg(part);
    }
    if (!ResumeIsSure(job.settings)) {
        return Tr("korvane", "已取消下载，已收到的部分保留在[%1]。").arg(part);
    }
    return Tr("korvane", "已取消下载，已收到的部分保留在[%1]，再次下载时从那里续传。").arg(part);
}

// The first line of a failed login: what went wrong in the operator's terms and what to do.
// Only a refused user name or password is blamed on them.
QString LoginMessage(const TransferRequest& job, store::Fault fault) {
    using store::Fault;
    const QString& server = job.settings.endpoint.server;
    switch (fault) {
        case Fault::Credentials:
            return Tr("korvane", "不能登录远程FTP服务器，请确定正确的用户名及密码！");
        case Fault::Refused:
            return Tr("korvane",
                      "远程FTP服务器[%1]拒绝连接：该地址的该端口上没有FTP服务，请检查系统参数"
                      "korvane_ip中的地址和端口，或请管理员启动FTP服务。")
                .arg(server);
        case Fault::Unreachable:
            return Tr("korvane",
                      "找不到远程FTP服务器[%1]：主机不可达，请检查系统参数korvane_ip中的地址和网络"
                      "连接。")
                .arg(server);
        case Fault::Secure:
            return Tr("korvane",
                      "不能与远程FTP服务器[%1]建立加密连接（TLS），请检查系统参数korvane_ftp_tls、"
                      "korvane_ftp_cafile和korvane_ftp_fingerprint。")
                .arg(server);
        case Fault::HostKey:
            return Tr("korvane",
                      "远程服务器[%1]的主机密钥不在信任之列或已改变，没有登录。请向管理员核对下面的"
                      "指纹，确认无误后将其写入系统参数korvane_sftp_hostkey。")
                .arg(server);
        case Fault::Timeout:
            return Tr("korvane",
                      "远程FTP服务器[%1]没有及时应答（等待了%2秒），请检查网络，或加大系统参数"
                      "korvane_ftp_timeout。")
                .arg(server)
                .arg((job.timeouts.replyMs + 999) / 1000);
        default:
            return Tr("korvane", "不能登录远程FTP服务器[%1]。").arg(server);
    }
}

// A rename that got no answer was not refused: the server may or may not have done it, and
// storing directly is no answer to a slow server.
QString UnansweredRename(const TransferRequest& job, store::Fault fault) {
    const int seconds = (job.timeouts.replyMs + 999) / 1000;
    const QString why = fault == store::Fault::Timeout
                            ? Tr("korvane", "服务器没有及时应答改名（等待了%1秒）").arg(seconds)
                            : Tr("korvane", "与服务器的连接在改名时中断");
    return Tr("korvane",
              "上传文件[%1]时%2：服务器上的[%1]可能仍是原文件，也可能已是新上传的文件，"
              "该文件未登记，请稍后重新上传。")
        .arg(job.remote, why);
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
    const bool upload = job.direction == Direction::Upload;
    QString text;
    QString advice;
    switch (outcome.reached) {
        case Step::Login:
            text = LoginMessage(job, outcome.fault);
            break;
        case Step::Directory:
            text = Tr("korvane", "设置远程路径出错！");
            break;
        case Step::Publish:
            if (outcome.fault == store::Fault::Timeout || outcome.fault == store::Fault::Broken) {
                return UnansweredRename(job, outcome.fault);
            }
            return outcome.reason;
        case Step::Verify:
        case Step::Register:
        case Step::Commit:
            return outcome.reason;  // the step wrote the whole message
        default:
            if (outcome.fault == store::Fault::ActiveData) {
                text = (upload ? Tr("korvane", "上传文件[%1]出错！")
                               : Tr("korvane", "下载文件[%1]出错！"))
                           .arg(job.remote);
                advice = Tr("korvane",
                            "服务器没有建立主动模式的数据连接，请把系统参数korvane_ftp_mode设为"
                            "passive（或auto）后重试。");
            } else if (outcome.fault == store::Fault::Broken ||
                       outcome.fault == store::Fault::Timeout) {
                text = (upload ? Tr("korvane", "上传文件[%1]时传输中断！")
                               : Tr("korvane", "下载文件[%1]时传输中断！"))
                           .arg(job.remote);
            } else {
                text = (upload ? Tr("korvane", "上传文件[%1]出错！")
                               : Tr("korvane", "下载文件[%1]出错！"))
                           .arg(job.remote);
            }
    }
    if (!outcome.reason.isEmpty()) {
        text += u'\n' + outcome.reason;
    }
    if (outcome.kept) {
        text += KeptText();
    }
    return advice.isEmpty() ? text : text + u'\n' + advice;
}

}  // namespace korvane
