#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "History.h"

namespace korvane {

using OperatorNameOf = std::function<QString(int32_t)>;

// What an event of the site's history is called in the window.
QString HistoryEventText(const QString& event);
// One event's cells: time, operator, host, what, version, bytes, result.
QStringList HistoryCells(const db::HistoryEvent& e, const OperatorNameOf& operatorName);

// The history of one registration's file and of its order, newest first, in a window of its own
// that stays open beside the list.
class HistoryDialog : public QDialog {
    Q_OBJECT
public:
    HistoryDialog(QWidget* parent, const QString& name, const QString& orderId,
                  const QList<db::HistoryEvent>& ofName, const QList<db::HistoryEvent>& ofOrder,
                  const OperatorNameOf& operatorName);
};

}  // namespace korvane
