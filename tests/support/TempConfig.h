#pragma once

#include <QFile>
#include <QTemporaryDir>

#include "HostConfig.h"

namespace korvane::test {

// A host configuration file in a temporary directory, made the host's configuration for the
// lifetime of the object.
class TempConfig {
public:
    explicit TempConfig(const QByteArray& content) {
        path_ = dir_.filePath(QStringLiteral("host.ini"));
        Write(content);
        telmaris::SetHostConfigPath(path_);
    }
    ~TempConfig() { telmaris::SetHostConfigPath(QString()); }

    void Write(const QByteArray& content) {
        QFile f(path_);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(content);
    }
    const QString& Path() const { return path_; }
    QString Dir() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QString path_;
};

}  // namespace korvane::test
