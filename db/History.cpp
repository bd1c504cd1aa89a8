#include "History.h"

#include <QDateTime>

#include "DbError.h"
#include "SqlDialect.h"
#include "SqlScript.h"
#include "TADOQuery.h"

namespace korvane::db {

namespace {
const QString kColumns =
    QStringLiteral("event_at,op_id,host,down_id,file_name,version_no,bytes,event,result");
}  // namespace

History::History(TADOQuery& query) : query_(query) {}

bool History::Available() {
    if (!available_) {
        try {
            OpenStatement(query_, QStringLiteral("select count(*) as n from "
                                                 "zy.res_download_history where 1=0"));
            query_.Close();
            available_ = true;
        } catch (const DbError&) {
            available_ = false;
        }
    }
    return *available_;
}

QString History::Now() {
    return QDateTime::currentDateTime()
        .toOffsetFromUtc(QDateTime::currentDateTime().offsetFromUtc())
        .toString(Qt::ISODate);
}

void History::Record(const HistoryEvent& e) {
    ExecStatement(
        query_, QStringLiteral("insert into zy.res_download_history(") + kColumns +
                    QStringLiteral(") values(") + QuotedSql(e.at) + u',' + QString::number(e.opId) +
                    u',' + QuotedSql(e.host) + u',' + QuotedSql(e.orderId) + u',' +
                    QuotedSql(e.name) + u',' + QString::number(e.version) + u',' +
                    (e.bytes < 0 ? QStringLiteral("null") : QString::number(e.bytes)) + u',' +
                    QuotedSql(e.event) + u',' + QuotedSql(e.result.left(1000)) + u')');
}

QList<HistoryEvent> History::Select(const QString& condition, int limit) {
    QList<HistoryEvent> out;
    if (!Available()) {
        return out;
    }
    OpenStatement(query_, QStringLiteral("select ") + kColumns +
                              QStringLiteral(" from zy.res_download_history where ") + condition +
                              QStringLiteral(" order by event_at desc"));
    for (; !query_.Eof() && out.size() < limit; query_.Next()) {
        HistoryEvent e;
        e.at = query_.FieldAsString(0);
        e.opId = query_.FieldAsInteger(QStringLiteral("op_id"));
        e.host = query_.FieldAsString(2);
        e.orderId = query_.FieldAsString(3);
        e.name = query_.FieldAsString(4);
        e.version = query_.FieldAsInteger(QStringLiteral("version_no"));
        e.bytes = query_.FieldIsNull(QStringLiteral("bytes"))
                      ? -1
                      : query_.FieldAsInt64(QStringLiteral("bytes"));
        e.event = query_.FieldAsString(7);
        e.result = query_.FieldAsString(8);
        out.append(e);
    }
    query_.Close();
    return out;
}

QList<HistoryEvent> History::ForName(const QString& name, int limit) {
    return Select(QStringLiteral("file_name=") + QuotedSql(name), limit);
}

QList<HistoryEvent> History::ForOrder(const QString& orderId, int limit) {
    return Select(QStringLiteral("down_id=") + QuotedSql(orderId), limit);
}

QList<HistoryEvent> History::ForOperator(int32_t opId, int limit) {
    return Select(QStringLiteral("op_id=") + QString::number(opId), limit);
}

}  // namespace korvane::db
