#include "SqlRunner.h"

#include <exception>

#include "GuiServices.h"
#include "TADOQuery.h"
#include "Translate.h"
#include "TrimBlanks.h"

using korvane::Tr;

namespace korvane {

bool IsSelectStatement(const QString& trimmedStatement) {
    return trimmedStatement.left(6).toUpper() == QStringLiteral("SELECT");
}

bool TryRunSQL(db::TADOQuery& query, const QString& text, QString* reason) {
    const QString statement = telmaris::TrimBlanks(text);
    query.Close();
    query.ClearSQL();
    query.AddSQL(statement);
    try {
        if (IsSelectStatement(statement)) {
            query.Open();
        } else {
            query.ExecSQL();
        }
        return true;
    } catch (const std::exception& e) {
        if (reason != nullptr) {
            *reason = QString::fromUtf8(e.what()).trimmed();
        }
        return false;
    }
}

bool RunSQL(db::TADOQuery& query, const QString& text) {
    QString reason;
    if (TryRunSQL(query, text, &reason)) {
        return true;
    }
    ShowMessage(SqlErrorMessage(text, reason));
    return false;
}

namespace {
// At most maxLines lines of at most maxWidth characters, the cut marked.
QString CutToLines(const QString& text, int maxLines, int maxWidth) {
    QStringList lines;
    QString rest = text;
    rest.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const QString& line : rest.split(u'\n')) {
        for (qsizetype at = 0; at == 0 || at < line.size(); at += maxWidth) {
            lines << line.mid(at, maxWidth);
        }
    }
    if (lines.size() <= maxLines) {
        return lines.join(u'\n');
    }
    lines = lines.mid(0, maxLines);
    lines.last() += QStringLiteral("…");
    return lines.join(u'\n');
}
}  // namespace

QString SqlErrorMessage(const QString& statement, const QString& reason) {
    // The reason is what the operator can act on; the statement is for whoever they call.
    QString message = Tr("korvane", "执行SQL出错了呀！");
    if (!reason.isEmpty()) {
        message += u'\n' + CutToLines(reason, kSqlReasonLines, kSqlLineWidth);
    }
    return message + u'\n' + Tr("korvane", "语句：") +
           CutToLines(statement, kSqlStatementLines, kSqlLineWidth);
}

}  // namespace korvane
