#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

namespace korvane {

// The texts that a search's rows show for their codes. Each order type and each operator is
// looked up once per search: the answers come from the type list and the code table, which do
// not change while the list fills.
class RowTexts {
public:
    using OperatorLookup = std::function<QString(int32_t)>;
    RowTexts(QStringList typeItems, OperatorLookup operatorText);

    const QString& Type(const QString& code);
    const QString& Operator(int32_t id);

private:
    QStringList typeItems_;
    OperatorLookup operatorText_;
    QHash<QString, QString> types_;
    QHash<int32_t, QString> operators_;
};

}  // namespace korvane
