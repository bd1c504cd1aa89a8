#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

namespace korvane::sftp {

// What a site sets for its SFTP server beyond the address, the account and the folder.
struct SftpOptions {
    // Host keys trusted without a known-hosts entry: SHA256 fingerprints as `ssh-keygen -lf`
    // prints them ("SHA256:<base64>"), from korvane_sftp_hostkey.
    QStringList hostKeys;
    // A private key file (korvane_sftp_key); the endpoint's password is its passphrase.
    QString keyFile;
    // OpenSSH's known-hosts files, the operator's and the machine's.
    QStringList knownHostsFiles = {QDir::homePath() + QStringLiteral("/.ssh/known_hosts"),
                                   QStringLiteral("/etc/ssh/ssh_known_hosts")};
    // The bytes of names on the wire, as korvane_ftp_encoding says for FTP: "UTF-8", "GBK", any
    // iconv name.
    QString encoding = QStringLiteral("UTF-8");
};

// Reads korvane_sftp_hostkey: fingerprints separated by blanks, each "SHA256:" and the
// unpadded base64 of 32 bytes. False with *error naming the first one that is not.
bool ParseHostKeyFingerprints(const QString& text, QStringList* out, QString* error);

}  // namespace korvane::sftp
