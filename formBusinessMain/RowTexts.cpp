#include "RowTexts.h"

#include "Statements.h"

namespace korvane {

RowTexts::RowTexts(QStringList typeItems, OperatorLookup operatorText)
    : typeItems_(std::move(typeItems)), operatorText_(std::move(operatorText)) {}

const QString& RowTexts::Type(const QString& code) {
    auto it = types_.find(code);
    if (it == types_.end()) {
        it = types_.insert(code, TypeText(typeItems_, code));
    }
    return it.value();
}

const QString& RowTexts::Operator(int32_t id) {
    auto it = operators_.find(id);
    if (it == operators_.end()) {
        it = operators_.insert(id, operatorText_(id));
    }
    return it.value();
}

}  // namespace korvane
