#include "Statements.h"

namespace korvane {

QString OrderTypesStatement() {
    return QStringLiteral(
        "select code_value,cname from xg.sys_base_type where "
        "enum_name='RES_DOWNLOAD_PATH@DOWN_TYPE'");
}

QString BuildRegisteredNamesStatement(const QStringList& names) {
    QStringList quoted;
    for (const QString& name : names) {
        quoted << QuotedSql(name);
    }
    return QStringLiteral(
               "select distinct down_path from zy.res_download_path where down_path in (") +
           quoted.join(u',') + u')';
}

QString BuildLatestStatement(const SearchConditions& c) {
    return QStringLiteral(
               "select down_path,max(create_date) as latest from zy.res_download_path where "
               "down_path in (select down_path from zy.res_download_path") +
           SearchFilter(c) + QStringLiteral(") group by down_path having count(*)>1");
}

QString BuildRecordedSizesStatement(const SearchConditions& c) {
    return QStringLiteral(
               "select file_name,file_size from zy.res_download_file where file_size is not null "
               "and file_name in (select down_path from zy.res_download_path") +
           SearchFilter(c) + u')';
}

QString BuildSearchStatement(const SearchConditions& c) {
    return QStringLiteral("select * from zy.res_download_path") + SearchFilter(c);
}

QString SearchFilter(const SearchConditions& c) {
    QString sql = QStringLiteral(" where 1=1");
    if (!c.id.isEmpty()) {
        sql += QStringLiteral(" and down_id=") + c.id;
    }
    if (!c.type.isEmpty()) {
        sql += QStringLiteral(" and down_type=") + c.type;
    }
    if (!c.name.isEmpty()) {
        sql += QStringLiteral(" and down_path like '%") + db::DoubledQuotes(c.name) +
               QStringLiteral("%'");
    }
    if (c.useDates) {
        const QString format = QStringLiteral("yyyyMMdd");
        sql += QStringLiteral(" and create_date>=to_date('") + c.begin.toString(format) +
               QStringLiteral("','YYYYMMDD')");
        sql += QStringLiteral(" and create_date<to_date('") + c.end.toString(format) +
               QStringLiteral("','YYYYMMDD')");
    }
    return sql;
}

QString BuildInsertStatement(const QString& id, const QString& type, const QString& remoteName,
                             int32_t operatorId, const QString& remark) {
    return QStringLiteral(
               "insert into zy.res_download_path(down_id,down_type,down_path,op_id,create_date,"
               "remark) values(") +
           id + u',' + type + u',' + QuotedSql(remoteName) + u',' + QString::number(operatorId) +
           QStringLiteral(",sysdate,") + QuotedSql(remark) + u')';
}

bool IsOrderNumber(const QString& id) {
    if (id.isEmpty() || id.size() > kMaxOrderDigits) {
        return false;
    }
    for (const QChar c : id) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return true;
}

// Only '/' separates directories here; ':' and '\\' are ordinary characters of a name.
QString FileNamePart(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QString RemoteName(const QString& id, const QString& localPath) {
    return id + u'_' + FileNamePart(localPath);
}

bool IsPlainFileName(const QString& name) {
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') &&
           !name.contains(QChar(0));
}

QString TypeText(const QStringList& typeItems, const QString& code) {
    const QString needle = u'[' + code + u']';
    for (const QString& item : typeItems) {
        if (item.contains(needle)) {
            return item;
        }
    }
    return code;
}

}  // namespace korvane
