#pragma once

#include <QLoggingCategory>

namespace korvane {

// The control conversations of every transfer, off by default:
// QT_LOGGING_RULES="korvane.ftp.debug=true" shows them, one line each, with its direction.
Q_DECLARE_LOGGING_CATEGORY(lcFtp)

// Routes the FTP layer's conversation (debug) and its warnings (a session left unencrypted,
// a suspected downgrade) into lcFtp; harmless to call more than once.
void InstallFtpTrace();

}  // namespace korvane
