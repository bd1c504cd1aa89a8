#pragma once

#include <QLoggingCategory>
#include <cstdint>

#include "HostApi.h"

// The end of every transfer, one info message each (the transfer log's events).
TELMARIS_HOST_API Q_DECLARE_LOGGING_CATEGORY(lcTransfer)

    namespace telmaris {
    // Sends the messages of the system's own logging categories (korvane.*, telmaris.*) that Qt's
    // rules let through to the machine's log as well, so that a site collects every operator's
    // transfers and warnings in one place: the systemd journal where it runs (fields MESSAGE,
    // PRIORITY, SYSLOG_IDENTIFIER, QT_CATEGORY, TELMARIS_OPERATOR), else syslog(3) (facility user).
    // Standard error keeps them too. The operator is that of the session.
    TELMARIS_HOST_API void InstallSiteLog(int32_t operatorId);

}  // namespace telmaris
