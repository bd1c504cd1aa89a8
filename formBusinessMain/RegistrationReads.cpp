#include "RegistrationReads.h"

#include <exception>

#include "RegistrationModel.h"
#include "SqlRunner.h"
#include "TADOQuery.h"
#include "Translate.h"

namespace korvane {

QString AllTypesItem() {
    return Tr("korvane", "[0] 所有类型");
}

QStringList RegistrationReads::OrderTypeItems() {
    QStringList items{AllTypesItem()};
    RunSQL(query_, OrderTypesStatement());
    for (; !query_.Eof(); query_.Next()) {
        items << u'[' + query_.FieldAsString(QStringLiteral("code_value")) + QStringLiteral("] ") +
                     query_.FieldAsString(QStringLiteral("cname"));
    }
    query_.Close();
    return items;
}

RegistrationReads::Registered RegistrationReads::RegisteredAmong(const QStringList& names) {
    Registered out;
    if (!TryRunSQL(query_, BuildRegisteredNamesStatement(names), &out.unreadable)) {
        out.names = names;
        return out;
    }
    for (; !query_.Eof(); query_.Next()) {
        out.names << query_.FieldAsString(QStringLiteral("down_path"));
    }
    query_.Close();
    return out;
}

std::optional<db::StoredFile> RegistrationReads::Recorded(const QString& remote) {
    try {
        auto stored = db::FileRecord(query_).Current(remote);
        if (stored && !stored->sha256.isEmpty()) {
            return stored;
        }
    } catch (const std::exception&) {
        // Without the record nothing is known of the file.
    }
    return std::nullopt;
}

void RegistrationReads::Mark(const SearchConditions& c, RegistrationModel& model) {
    try {
        MarkRows(c, model);
    } catch (const std::exception&) {
        // Without the marks the list still holds what the search found.
    }
    query_.Close();
    model.EndMarks();
}

void RegistrationReads::MarkRows(const SearchConditions& c, RegistrationModel& model) {
    QString reason;
    if (TryRunSQL(query_, BuildLatestStatement(c), &reason)) {
        const int name = query_.FieldIndex(QStringLiteral("down_path"));
        const int latest = query_.FieldIndex(QStringLiteral("latest"));
        for (; !query_.Eof(); query_.Next()) {
            model.MarkReplacedBefore(query_.FieldAsString(name), query_.FieldAsString(latest));
        }
    }
    if (TryRunSQL(query_, BuildRecordedSizesStatement(c), &reason)) {
        for (; !query_.Eof(); query_.Next()) {
            model.SetRecordedSize(query_.FieldAsString(QStringLiteral("file_name")),
                                  query_.FieldAsInt64(QStringLiteral("file_size")));
        }
    }
}

std::optional<RegistrationReads::Histories> RegistrationReads::HistoryOf(const QString& name,
                                                                         const QString& orderId) {
    db::History history(query_);
    if (!history.Available()) {
        return std::nullopt;
    }
    return Histories{history.ForName(name), history.ForOrder(orderId)};
}

}  // namespace korvane
