#include "FtpTrace.h"

#include "FtpSession.h"

namespace korvane {

Q_LOGGING_CATEGORY(lcFtp, "korvane.ftp", QtWarningMsg)

namespace {
void TraceLine(bool sent, const std::string& text) {
    if (lcFtp().isDebugEnabled()) {
        qCDebug(lcFtp).noquote()
            << (sent ? "-->" : "<--")
            << QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).trimmed();
    }
}

void WarningLine(const std::string& text) {
    qCWarning(lcFtp).noquote() << QString::fromUtf8(text.data(),
                                                    static_cast<qsizetype>(text.size()));
}
}  // namespace

void InstallFtpTrace() {
    ftp::SetTraceHook(&TraceLine);
    ftp::SetWarningHook(&WarningLine);
}

}  // namespace korvane
