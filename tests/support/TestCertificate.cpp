#include "TestCertificate.h"

#include <QFile>
#include <QProcess>

namespace korvane::test {

namespace {
bool Run(const QStringList& args, QByteArray* out, QString* error) {
    QProcess p;
    p.start(QStringLiteral("openssl"), args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        *error = QStringLiteral("openssl %1 failed: %2")
                     .arg(args.first(), QString::fromLocal8Bit(p.readAllStandardError()));
        return false;
    }
    *out = p.readAllStandardOutput();
    return true;
}
}  // namespace

TestCertificate::TestCertificate() {
    const QString key = dir_.path() + QStringLiteral("/key.pem");
    QByteArray out;
    if (!Run({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
              QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
              QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
              QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
              QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
              QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"), key,
              QStringLiteral("-out"), CertFile()},
             &out, &error_) ||
        !Run({QStringLiteral("x509"), QStringLiteral("-in"), CertFile(), QStringLiteral("-noout"),
              QStringLiteral("-fingerprint"), QStringLiteral("-sha256")},
             &out, &error_)) {
        return;
    }
    QFile pem(PemFile());
    QFile cert(CertFile());
    QFile keyFile(key);
    if (!pem.open(QIODevice::WriteOnly) || !cert.open(QIODevice::ReadOnly) ||
        !keyFile.open(QIODevice::ReadOnly)) {
        error_ = QStringLiteral("cannot write ") + PemFile();
        return;
    }
    pem.write(cert.readAll() + keyFile.readAll());
    pem.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadOther | QFileDevice::ReadGroup);
    fingerprint_ = out.mid(out.indexOf('=') + 1).trimmed();
}

}  // namespace korvane::test
