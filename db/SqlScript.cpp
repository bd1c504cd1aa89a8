#include "SqlScript.h"

#include "SqlLexer.h"
#include "TADOQuery.h"

namespace korvane::db {

namespace {
// True when the piece holds something besides white space and comments.
bool HasStatement(QStringView piece) {
    SqlLexer lexer(piece);
    while (const auto run = lexer.Next()) {
        if (run->kind != SqlRunKind::Blank && !run->IsComment()) {
            return true;
        }
    }
    return false;
}
}  // namespace

QStringList SplitSqlScript(const QString& script) {
    QStringList out;
    qsizetype start = 0;
    const auto endPiece = [&](qsizetype end) {
        const QStringView piece = QStringView(script).mid(start, end - start);
        if (HasStatement(piece)) {
            out << piece.trimmed().toString();
        }
        start = end + 1;
    };
    SqlLexer lexer(script);
    while (const auto run = lexer.Next()) {
        if (run->Is(u';')) {
            endPiece(run->at);
        }
    }
    endPiece(script.size());
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
