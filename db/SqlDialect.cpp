#include "SqlDialect.h"

#include "SqlLexer.h"

namespace korvane::db {

namespace {
QString NowExpression(Backend backend) {
    switch (backend) {
        case Backend::SQLite:
            return QStringLiteral("sysdate()");
        case Backend::PostgreSQL:
            return QStringLiteral("localtimestamp(0)");
        default:
            return QString();
    }
}
}  // namespace

QString BridgeSql(const QString& sql, Backend backend) {
    const QString now = NowExpression(backend);
    if (now.isEmpty()) {
        return sql;
    }
    QString out;
    out.reserve(sql.size() + 16);
    SqlLexer lexer(sql);
    bool afterDot = false;
    while (const auto run = lexer.Next()) {
        // t.sysdate names a column, not the function.
        const bool isNow = run->kind == SqlRunKind::Word && !afterDot &&
                           run->text.compare(u"sysdate", Qt::CaseInsensitive) == 0;
        out += isNow ? QStringView(now) : run->text;
        afterDot = run->Is(u'.');
    }
    return out;
}

QString DoubledQuotes(const QString& text) {
    QString doubled = text;
    doubled.replace(u'\'', QStringLiteral("''"));
    return doubled;
}

QString QuotedSql(const QString& text) {
    return u'\'' + DoubledQuotes(text) + u'\'';
}

}  // namespace korvane::db
