#include "SiteLog.h"

#include <syslog.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <atomic>

Q_LOGGING_CATEGORY(lcTransfer, "korvane.transfer", QtInfoMsg)

namespace telmaris {

namespace {
QtMessageHandler gPrevious = nullptr;
std::atomic<int32_t> gOperator{0};

int Priority(QtMsgType type) {
    switch (type) {
        case QtDebugMsg:
            return LOG_DEBUG;
        case QtInfoMsg:
            return LOG_INFO;
        case QtWarningMsg:
            return LOG_WARNING;
        case QtCriticalMsg:
            return LOG_ERR;
        case QtFatalMsg:
            return LOG_CRIT;
    }
    return LOG_NOTICE;
}

bool OurCategory(const char* category) {
    const QByteArray name(category != nullptr ? category : "");
    return name.startsWith("korvane.") || name.startsWith("telmaris.");
}

const QByteArray& Identifier() {
    // openlog keeps the pointer: the bytes live to the end of the program.
    static const QByteArray id = QCoreApplication::applicationName().toLocal8Bit();
    return id;
}

void Send(QtMsgType type, const char* category, const QByteArray& text) {
    const int priority = Priority(type);
    // The journal's native protocol where a journal listens (sd_journal_send drops a message
    // silently when none does), else syslog.
    if (::access("/run/systemd/journal/socket", W_OK) == 0 &&
        sd_journal_send("MESSAGE=%s", text.constData(), "PRIORITY=%i", priority,
                        "SYSLOG_IDENTIFIER=%s", Identifier().constData(), "QT_CATEGORY=%s",
                        category, "TELMARIS_OPERATOR=%i", gOperator.load(), nullptr) >= 0) {
        return;
    }
    static const bool opened = [] {
        openlog(Identifier().constData(), LOG_PID, LOG_USER);
        return true;
    }();
    (void)opened;
    syslog(priority, "%s: %s", category, text.constData());
}

void Handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (OurCategory(context.category)) {
        Send(type, context.category, message.toUtf8());
    }
    if (gPrevious != nullptr) {
        gPrevious(type, context, message);
    }
}
}  // namespace

void InstallSiteLog(int32_t operatorId) {
    gOperator = operatorId;
    const QtMessageHandler previous = qInstallMessageHandler(Handle);
    if (previous != Handle) {
        gPrevious = previous;
    }
}

}  // namespace telmaris
