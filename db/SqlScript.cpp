#include "SqlScript.h"

#include "TADOQuery.h"

namespace korvane::db {

namespace {
// True when the piece holds something besides white space and -- comments.
bool HasStatement(const QString& piece) {
    for (const QString& line : piece.split(u'\n')) {
        const QString t = line.trimmed();
        if (!t.isEmpty() && !t.startsWith(QStringLiteral("--"))) {
            return true;
        }
    }
    return false;
}
}  // namespace

QStringList SplitSqlScript(const QString& script) {
    QStringList out;
    QString current;
    QChar quote;
    bool lineComment = false;
    for (qsizetype i = 0; i < script.size(); ++i) {
        const QChar c = script.at(i);
        current += c;
        if (lineComment) {
            lineComment = c != u'\n';
        } else if (!quote.isNull()) {
            if (c == quote) {
                quote = QChar();
            }
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'-' && i + 1 < script.size() && script.at(i + 1) == u'-') {
            lineComment = true;
        } else if (c == u';') {
            current.chop(1);
            if (HasStatement(current)) {
                out << current.trimmed();
            }
            current.clear();
        }
    }
    if (HasStatement(current)) {
        out << current.trimmed();
    }
    return out;
}

namespace {
void SetStatement(TADOQuery& query, const QString& sql) {
    query.Close();
    query.ClearSQL();
    query.AddSQL(sql);
}
}  // namespace

void ExecStatement(TADOQuery& query, const QString& sql) {
    SetStatement(query, sql);
    query.ExecSQL();
}

void OpenStatement(TADOQuery& query, const QString& sql) {
    SetStatement(query, sql);
    query.Open();
}

void ApplyScript(TADOQuery& query, const QString& script) {
    for (const QString& statement : SplitSqlScript(script)) {
        ExecStatement(query, statement);
    }
}

}  // namespace korvane::db
