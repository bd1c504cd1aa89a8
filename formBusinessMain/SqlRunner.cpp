#include "SqlRunner.h"

#include <exception>

#include "GuiServices.h"
#include "TADOQuery.h"
#include "TextLimits.h"

namespace korvane {

bool IsSelectStatement(const QString& trimmedStatement) {
    return trimmedStatement.left(6).toUpper() == QStringLiteral("SELECT");
}

bool RunSQL(db::TADOQuery& query, const QString& text) {
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
    } catch (const std::exception&) {
        ShowMessage(QStringLiteral("执行SQL出错了呀！") + text);
        return false;
    }
}

}  // namespace korvane
