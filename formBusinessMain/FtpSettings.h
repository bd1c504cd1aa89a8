#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "CFTPClient.h"

namespace korvane {

// What one transfer needs to know of the site's FTP server, from the system parameters.
struct FtpSettings {
    QString server;     // korvane_ip
    QString user;       // korvane_user
    QString password;   // korvane_pwd
    QString directory;  // korvane_path
    // korvane_ftp_mode, korvane_ftp_resume (offset by default: a 350 reply that names the
    // offset), korvane_ftp_upload (rename by default: a failed upload never damages the file on
    // the server), korvane_ftp_encoding (auto by default), korvane_ftp_tls (off by default),
    // korvane_ftp_cafile, korvane_ftp_fingerprint; what sessions learn of the server is kept in
    // the operator's state folder.
    CFTPClient::Options options;
    std::optional<int> timeoutSeconds;  // korvane_ftp_timeout; unset: the driver's default
};

// Reads the settings through parameter (a system parameter's value by name, empty when it is
// absent). The four of the server are used as they come; the others are trimmed, compared
// ignoring case, and an empty one means its default. False with a message naming the
// parameter when a value is not one of its own.
bool ReadFtpSettings(const std::function<QString(const QString&)>& parameter, FtpSettings* out,
                     QString* error);

}  // namespace korvane
