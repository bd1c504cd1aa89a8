#pragma once

#include <gtest/gtest.h>
#include <QByteArray>
#include <QDir>
#include <QString>
#include <memory>

#include "TADOConnection.h"
#include "TADOQuery.h"
#include "support/FtpServers.h"
#include "support/TempConfig.h"
#include "support/TestDatabase.h"

namespace korvane::test {

// What the registration window needs around it: a database made from the schema script with two
// order types, a real FTP server with the remote directory "orders", and a host configuration
// naming both, with operators 501 and 502 in code table 285.
class KorvaneEnvironment {
public:
    // Null, with why set, when the backend cannot be had here.
    static std::unique_ptr<KorvaneEnvironment> Create(db::Backend backend,
                                                      const QStringList& ftpFaults = {},
                                                      QString* why = nullptr) {
        auto database = TestDatabase::Create(backend, why);
        if (!database) {
            return nullptr;
        }
        return std::unique_ptr<KorvaneEnvironment>(
            new KorvaneEnvironment(std::move(database), ftpFaults));
    }

    // Rewrites the configuration; the arguments replace one system parameter each when given,
    // and extra holds further "name=value" lines of [SysPara].
    void WriteConfig(const QString& ip = QString(), const QString& password = QString(),
                     const QString& path = QString(), const QString& conn = QString(),
                     const QString& extra = QString()) {
        const QString text =
            QStringLiteral(
                "[SysPara]\nkorvane_conn=%1\nkorvane_ip=%2\nkorvane_user=op\nkorvane_pwd=%3\n"
                "korvane_path=%4\n%5\n[CodeTable285]\n501=张三\n502=李四\n[Session]\n"
                "OperatorId=501\n")
                .arg(conn.isNull() ? db->ConnectionString() : conn,
                     ip.isNull() ? ftp->Server() : ip,
                     password.isNull() ? QStringLiteral("secret") : password,
                     path.isNull() ? QStringLiteral("/orders") : path, extra);
        config.Write(text.toUtf8());
    }

    void Exec(const QString& sql) { db->Exec(sql); }

    // Rows of zy.res_download_path as "id|type|path|op|remark", ordered by those columns.
    QStringList Registrations() {
        db::TADOConnection c;
        c.SetConnectionString(db->ConnectionString());
        c.SetConnected(true);
        db::TADOQuery q(c);
        q.AddSQL(QStringLiteral(
            "select * from zy.res_download_path order by down_id, down_type, down_path, remark"));
        q.Open();
        QStringList rows;
        for (; !q.Eof(); q.Next()) {
            QStringList r;
            for (const char* f : {"down_id", "down_type", "down_path", "op_id", "remark"}) {
                r << q.FieldAsString(QString::fromLatin1(f));
            }
            rows << r.join(u'|');
        }
        return rows;
    }

    QString RemotePath(const QString& name) const {
        return ftp->Home() + QStringLiteral("/orders/") + name;
    }

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<PyFtpServer> ftp;
    TempConfig config;

private:
    KorvaneEnvironment(std::unique_ptr<TestDatabase> database, const QStringList& ftpFaults)
        : db(std::move(database)),
          ftp(std::make_unique<PyFtpServer>(ftpFaults)),
          config(QByteArray()) {
        QDir(ftp->Home()).mkpath(QStringLiteral("orders"));
        Exec(QStringLiteral(
            "insert into xg.sys_base_type values('RES_DOWNLOAD_PATH@DOWN_TYPE','1','合同')"));
        Exec(QStringLiteral(
            "insert into xg.sys_base_type values('RES_DOWNLOAD_PATH@DOWN_TYPE','2','身份证')"));
        WriteConfig();
    }
};

// A test that runs on each backend with its own environment (skipped where the backend cannot
// be had). Faults() are the FTP server's injected faults.
class KorvaneBackendTest : public ::testing::TestWithParam<db::Backend> {
protected:
    virtual QStringList Faults() const { return {}; }
    void SetUp() override {
        QString why;
        env = KorvaneEnvironment::Create(GetParam(), Faults(), &why);
        if (!env) {
            GTEST_SKIP() << why.toStdString();
        }
    }
    std::unique_ptr<KorvaneEnvironment> env;
};

}  // namespace korvane::test
