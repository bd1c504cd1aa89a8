#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace korvane::test {

// A self-signed server certificate for 127.0.0.1 (subject and IP address), made by the openssl
// command, with its key in the same PEM file.
class TestCertificate {
public:
    TestCertificate();
    bool Made() const { return !fingerprint_.isEmpty(); }
    const QString& Error() const { return error_; }
    // Certificate and key.
    QString PemFile() const { return dir_.path() + QStringLiteral("/server.pem"); }
    // The certificate alone, as a CA file that vouches for it.
    QString CertFile() const { return dir_.path() + QStringLiteral("/cert.pem"); }
    // SHA-256, "AB:CD:...".
    const QByteArray& Fingerprint() const { return fingerprint_; }

private:
    QTemporaryDir dir_;
    QByteArray fingerprint_;
    QString error_;
};

}  // namespace korvane::test
