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
// order types, after UseFtp() a real FTP server with the remote directory "orders", and a host
// configuration naming both, with operators 501 and 502 in code table 285.
class KorvaneEnvironment {
public:
    // Null, with why set, when the backend cannot be had here.
    static std::unique_ptr<KorvaneEnvironment> Create(db::Backend backend, QString* why = nullptr) {
        auto database = TestDatabase::Create(backend, why);
        if (!database) {
            return nullptr;
        }
        return std::unique_ptr<KorvaneEnvironment>(new KorvaneEnvironment(std::move(database)));
    }

    // Points the configuration at the program's FTP server, emptied and with these faults.
    // Without it the configured server refuses every connection at once.
    void UseFtp(const QStringList& faults = {}) {
        ftp = &PyFtpServer::With(faults, ownFtp_);
        QDir(ftp->Home()).mkpath(QStringLiteral("orders"));
        WriteConfig();
    }

    // Rewrites the configuration; the arguments replace one system parameter each when given,
    // and extra holds further "name=value" lines of [SysPara].
    void WriteConfig(const QString& ip = QString(), const QString& password = QString(),
                     const QString& path = QString(), const QString& conn = QString(),
                     const QString& extra = QString()) {
        const QString text =
            QStringLiteral(
                "[SysPara]\nkorvane_conn=%1\nkorvane_ip=%2\nkorvane_user=%6\nkorvane_pwd=%3\n"
                "korvane_path=%4\n%5\n[CodeTable285]\n501=张三\n502=李四\n[Session]\n"
                "OperatorId=501\n")
                .arg(conn.isNull() ? db->ConnectionString() : conn,
                     !ip.isNull() ? ip
                     : ftp        ? ftp->Server()
                                  : QStringLiteral("127.0.0.1:1"),
                     password.isNull() ? QStringLiteral("secret") : password,
                     path.isNull() ? QStringLiteral("/orders") : path, extra, user);
        config.Write(text.toUtf8());
    }

    void Exec(const QString& sql) { db->Exec(sql); }

    // Rows of zy.res_download_path as "id|type|path|op|remark", ordered by those columns.
    QStringList Registrations() {
        db::TADOQuery q(db->Fixture());
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
    PyFtpServer* ftp = nullptr;           // the shared server, once UseFtp() took it
    QString user = QStringLiteral("op");  // korvane_user
    TempConfig config;

private:
    std::unique_ptr<PyFtpServer> ownFtp_;
    explicit KorvaneEnvironment(std::unique_ptr<TestDatabase> database)
        : db(std::move(database)), config(QByteArray()) {
        Exec(QStringLiteral(
            "insert into xg.sys_base_type values('RES_DOWNLOAD_PATH@DOWN_TYPE','1','合同')"));
        Exec(QStringLiteral(
            "insert into xg.sys_base_type values('RES_DOWNLOAD_PATH@DOWN_TYPE','2','身份证')"));
        WriteConfig();
    }
};

// A test that runs on each backend with its own environment (skipped where the backend cannot
// be had). UsesFtp() says whether every test of the fixture transfers, on a server with the
// injected faults Faults(); the other fixtures' transferring tests call env->UseFtp() themselves.
class KorvaneBackendTest : public ::testing::TestWithParam<db::Backend> {
protected:
    virtual bool UsesFtp() const { return true; }
    virtual QStringList Faults() const { return {}; }
    void SetUp() override {
        QString why;
        env = KorvaneEnvironment::Create(GetParam(), &why);
        if (!env) {
            GTEST_SKIP() << why.toStdString();
        }
        if (UsesFtp()) {
            env->UseFtp(Faults());
        }
    }
    std::unique_ptr<KorvaneEnvironment> env;
};

}  // namespace korvane::test
