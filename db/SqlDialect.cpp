#include "SqlDialect.h"

namespace korvane::db {

namespace {
bool IsWordChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c == u'#';
}

// Index just past a quoted run that starts at i with the quote character q ('' escapes).
qsizetype SkipQuoted(const QString& s, qsizetype i, QChar q) {
    ++i;
    while (i < s.size()) {
        if (s.at(i) == q) {
            if (i + 1 < s.size() && s.at(i + 1) == q) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return s.size();
}

qsizetype SkipComment(const QString& s, qsizetype i) {
    if (s.at(i) == u'-') {
        const qsizetype end = s.indexOf(u'\n', i);
        return end < 0 ? s.size() : end;
    }
    const qsizetype end = s.indexOf(QStringLiteral("*/"), i + 2);
    return end < 0 ? s.size() : end + 2;
}

bool StartsComment(const QString& s, qsizetype i) {
    if (i + 1 >= s.size()) {
        return false;
    }
    return (s.at(i) == u'-' && s.at(i + 1) == u'-') || (s.at(i) == u'/' && s.at(i + 1) == u'*');
}

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
    static const QString kWord = QStringLiteral("sysdate");
    QString out;
    out.reserve(sql.size() + 16);
    qsizetype i = 0;
    while (i < sql.size()) {
        const QChar c = sql.at(i);
        qsizetype next = i + 1;
        if (c == u'\'' || c == u'"') {
            next = SkipQuoted(sql, i, c);
        } else if (StartsComment(sql, i)) {
            next = SkipComment(sql, i);
        } else if (IsWordChar(c)) {
            next = i;
            while (next < sql.size() && IsWordChar(sql.at(next))) {
                ++next;
            }
            const bool afterDot = i > 0 && sql.at(i - 1) == u'.';
            if (!afterDot && next - i == kWord.size() &&
                QStringView(sql).mid(i, next - i).compare(kWord, Qt::CaseInsensitive) == 0) {
                out += now;
                i = next;
                continue;
            }
        }
        out += QStringView(sql).mid(i, next - i);
        i = next;
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
