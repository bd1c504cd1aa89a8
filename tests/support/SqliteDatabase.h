#pragma once

#include <QFile>
#include <QTemporaryDir>

#include "SqlScript.h"
#include "TADOConnection.h"
#include "TADOQuery.h"

#ifndef KORVANE_SOURCE_DIR
#error "KORVANE_SOURCE_DIR must name the source tree"
#endif

namespace korvane::test {

// An embedded database in a temporary directory, created from the project's schema script.
class SqliteDatabase {
public:
    SqliteDatabase() {
        file_ = dir_.filePath(QStringLiteral("korvane.db"));
        db::TADOConnection connection;
        connection.SetConnectionString(ConnectionString());
        connection.SetConnected(true);
        db::TADOQuery query(connection);
        QFile script(QStringLiteral(KORVANE_SOURCE_DIR "/db/schema/sqlite.sql"));
        script.open(QIODevice::ReadOnly);
        for (const QString& statement : db::SplitSqlScript(QString::fromUtf8(script.readAll()))) {
            Exec(query, statement);
        }
    }

    QString ConnectionString() const {
        return QStringLiteral("Provider=SQLite;Data Source=") + file_;
    }
    const QString& File() const { return file_; }
    QString Dir() const { return dir_.path(); }

    static void Exec(db::TADOQuery& query, const QString& sql) {
        query.Close();
        query.ClearSQL();
        query.AddSQL(sql);
        query.ExecSQL();
    }

private:
    QTemporaryDir dir_;
    QString file_;
};

}  // namespace korvane::test
