#include "ConnectionString.h"

#include "DbError.h"
#include "Translate.h"

using korvane::Tr;

namespace korvane::db {

namespace {
QString Prefix() {
    return korvane::Tr("korvane", "数据库连接串无效: ");
}

QString Unquote(const QString& value) {
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front()) {
        return value.mid(1, value.size() - 2);
    }
    return value;
}

// Splits at ';' outside quotes.
QStringList SplitPairs(const QString& text) {
    QStringList parts;
    QString current;
    QChar quote;
    for (const QChar c : text) {
        if (!quote.isNull()) {
            if (c == quote) {
                quote = QChar();
            }
            current += c;
        } else if (c == u'"' || c == u'\'') {
            quote = c;
            current += c;
        } else if (c == u';') {
            parts << current;
            current.clear();
        } else {
            current += c;
        }
    }
    if (!quote.isNull()) {
        throw DbError(Prefix() + Tr("korvane", "引号未闭合"));
    }
    parts << current;
    return parts;
}

void MapPostgres(const QMap<QString, QString>& pairs, ConnectionSpec& spec) {
    const QString source = pairs.value(QStringLiteral("data source"));
    const qsizetype slash = source.indexOf(u'/');
    if (source.isEmpty() || slash <= 0 || slash == source.size() - 1) {
        throw DbError(Prefix() + Tr("korvane",
                                    "PostgreSQL 的 Data Source 应为 主机[:端口]/数据库, "
                                    "而不是 \"%1\"")
                                     .arg(source));
    }
    const QString hostPort = source.left(slash);
    spec.databaseName = source.mid(slash + 1);
    const qsizetype colon = hostPort.lastIndexOf(u':');
    spec.host = colon < 0 ? hostPort : hostPort.left(colon);
    if (colon >= 0) {
        bool ok = false;
        spec.port = hostPort.mid(colon + 1).toInt(&ok);
        if (!ok || spec.port < 1 || spec.port > 65535) {
            throw DbError(Prefix() +
                          Tr("korvane", "端口 \"%1\" 无效").arg(hostPort.mid(colon + 1)));
        }
    }
    if (spec.host.isEmpty()) {
        throw DbError(Prefix() + Tr("korvane", "PostgreSQL 的 Data Source 缺少主机名"));
    }
}

// ODBC takes a DSN by name, or a whole driver connection string ("Driver={...};Server=...").
void MapOdbc(const QMap<QString, QString>& pairs, ConnectionSpec& spec) {
    if (spec.user.isEmpty()) {
        spec.user = pairs.value(QStringLiteral("uid"));
    }
    if (spec.password.isEmpty()) {
        spec.password = pairs.value(QStringLiteral("pwd"));
    }
    if (pairs.contains(QStringLiteral("dsn"))) {
        spec.databaseName = pairs.value(QStringLiteral("dsn"));
    } else if (pairs.contains(QStringLiteral("driver"))) {
        static const QStringList kOwn{QStringLiteral("provider"), QStringLiteral("user id"),
                                      QStringLiteral("password"), QStringLiteral("uid"),
                                      QStringLiteral("pwd")};
        QStringList parts;
        for (auto it = pairs.cbegin(); it != pairs.cend(); ++it) {
            if (!kOwn.contains(it.key())) {
                parts << it.key() + u'=' + it.value();
            }
        }
        spec.databaseName = parts.join(u';');
    } else if (pairs.contains(QStringLiteral("data source"))) {
        spec.databaseName = pairs.value(QStringLiteral("data source"));
    } else {
        throw DbError(Prefix() + Tr("korvane", "ODBC 连接缺少 DSN 或 Data Source"));
    }
}
}  // namespace

QMap<QString, QString> ParseConnectionPairs(const QString& text) {
    if (text.trimmed().isEmpty()) {
        throw DbError(Prefix() + Tr("korvane", "连接串为空"));
    }
    QMap<QString, QString> pairs;
    QString lastKey;
    for (const QString& part : SplitPairs(text)) {
        if (part.trimmed().isEmpty()) {
            continue;
        }
        const qsizetype eq = part.indexOf(u'=');
        if (eq < 0 && (lastKey == u"password" || lastKey == u"pwd")) {
            // The tail of a password cut at its ';': a message must not show it.
            throw DbError(
                Prefix() +
                Tr("korvane", "密码中含有分号，请把密码放在双引号中，如 Password=\"...\""));
        }
        if (eq < 0) {
            throw DbError(Prefix() + Tr("korvane", "\"%1\" 不是 键=值 的形式").arg(part.trimmed()));
        }
        const QString key = part.left(eq).trimmed().toLower();
        if (key.isEmpty()) {
            throw DbError(Prefix() + Tr("korvane", "\"%1\" 缺少键名").arg(part.trimmed()));
        }
        pairs.insert(key, Unquote(part.mid(eq + 1).trimmed()));
        lastKey = key;
    }
    if (pairs.isEmpty()) {
        throw DbError(Prefix() + Tr("korvane", "连接串为空"));
    }
    return pairs;
}

ConnectionSpec MapConnectionString(const QString& text) {
    const QMap<QString, QString> pairs = ParseConnectionPairs(text);
    const QString provider =
        pairs.value(QStringLiteral("provider"), QStringLiteral("MSDAORA.1")).toLower();
    ConnectionSpec spec;
    spec.user = pairs.value(QStringLiteral("user id"));
    spec.password = pairs.value(QStringLiteral("password"));
    if (provider == u"msdaora" || provider == u"msdaora.1" || provider == u"oraoledb.oracle" ||
        provider == u"oraoledb.oracle.1") {
        spec.backend = Backend::Oracle;
        spec.driver = QStringLiteral("QOCI");
        spec.databaseName = pairs.value(QStringLiteral("data source"));
    } else if (provider == u"sqlite") {
        spec.backend = Backend::SQLite;
        spec.driver = QStringLiteral("QSQLITE");
        spec.databaseName = pairs.value(QStringLiteral("data source"));
        if (spec.databaseName.isEmpty()) {
            throw DbError(Prefix() + Tr("korvane", "SQLite 连接缺少 Data Source（数据库文件）"));
        }
    } else if (provider == u"postgresql") {
        spec.backend = Backend::PostgreSQL;
        spec.driver = QStringLiteral("QPSQL");
        MapPostgres(pairs, spec);
    } else if (provider == u"msdasql" || provider == u"msdasql.1") {
        spec.backend = Backend::Odbc;
        spec.driver = QStringLiteral("QODBC");
        MapOdbc(pairs, spec);
    } else {
        throw DbError(
            Prefix() +
            Tr("korvane", "未知的 Provider \"%1\"").arg(pairs.value(QStringLiteral("provider"))));
    }
    return spec;
}

}  // namespace korvane::db
