#include "FtpTrace.h"

#include <mutex>

#include <QCoreApplication>

#include "FtpSession.h"
#include "Transfer.h"

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

// The FTP layer's texts in the application's language; translating is safe on any thread.
std::string Translated(const char* context, const char* source) {
    return QCoreApplication::translate(context, source).toStdString();
}

void WarningLine(const std::string& text) {
    const QString line = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    qCWarning(lcFtp).noquote() << line;
    StepWarnings::Raise(line);  // the transfer running on this thread tells its window
}
}  // namespace

void InstallFtpTrace() {
    static std::once_flag once;
    std::call_once(once, [] {
        ftp::SetTraceHook(&TraceLine);
        ftp::SetWarningHook(&WarningLine);
        ftp::SetTranslateHook(&Translated);
    });
}

}  // namespace korvane
