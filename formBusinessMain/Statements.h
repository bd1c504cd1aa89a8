#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include "SqlDialect.h"
#include "Translate.h"

namespace korvane {

// The registration search's conditions, as read from the form.
struct SearchConditions {
    QString id;    // order number, trimmed; empty for none
    QString type;  // order-type code in decimal; empty for all types
    QString name;  // part of the remote file name, trimmed; empty for none
    bool useDates = false;
    QDate begin;
    QDate end;  // exclusive
};

// "select * from zy.res_download_path where 1=1" and the conditions in a fixed order. The name
// goes into a like pattern with its quotes doubled, so it can only ever be a pattern (its % and _
// still act as wildcards).
QString BuildSearchStatement(const SearchConditions& c);
// The search's " where 1=1 and ..." part, for statements about the same rows.
QString SearchFilter(const SearchConditions& c);

// The order types of both type lists: code_value and cname of the rows of xg.sys_base_type
// whose enum_name is RES_DOWNLOAD_PATH@DOWN_TYPE, in the database's order.
QString OrderTypesStatement();

// The registered names (down_path, each once) among names.
QString BuildRegisteredNamesStatement(const QStringList& names);

// The registration INSERT: id and type unquoted, remote name and remark quoted, sysdate.
QString BuildInsertStatement(const QString& id, const QString& type, const QString& remoteName,
                             int32_t operatorId, const QString& remark);

// The newest registration date (latest) of each name (down_path) that the search lists and that
// was registered more than once.
QString BuildLatestStatement(const SearchConditions& c);
// The recorded size (file_size) of each file (file_name) that the search lists.
QString BuildRecordedSizesStatement(const SearchConditions& c);
// After the date of a row whose file a later upload of the same name replaced.
inline QString ReplacedMark() {
    return Tr("korvane", "（已被替换）");
}

using db::QuotedSql;

// An order number the statements may carry unquoted: 1 to 18 decimal digits.
bool IsOrderNumber(const QString& id);
constexpr int kMaxOrderDigits = 18;

// The file-name part of a local path: what follows its last '/'. On Linux ':' and '\' are
// ordinary characters of a name.
QString FileNamePart(const QString& path);

// "<order number>_<file name>".
QString RemoteName(const QString& id, const QString& localPath);

// A remote name that can be written into the download directory and nowhere else: not empty,
// not "." or "..", no directory separator.
bool IsPlainFileName(const QString& name);

// The text shown for an order type in the list: the first item containing "[code]", else the
// bare code.
QString TypeText(const QStringList& typeItems, const QString& code);

}  // namespace korvane
