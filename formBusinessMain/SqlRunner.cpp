#include "SqlRunner.h"

#include <exception>

#include "GuiServices.h"
#include "TADOQuery.h"
#include "TextLimits.h"

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
    QString message = QStringLiteral("执行SQL出错了呀！") + text;
    if (!reason.isEmpty()) {
        message += u'\n' + reason;
    }
    ShowMessage(message);
    return false;
}

}  // namespace korvane
