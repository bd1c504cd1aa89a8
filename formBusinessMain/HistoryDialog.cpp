#include "HistoryDialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLocale>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "Translate.h"

namespace korvane {

QString HistoryEventText(const QString& event) {
    static const QList<std::pair<QString, const char*>> kTexts = {
        {QStringLiteral("upload"), QT_TRANSLATE_NOOP("korvane", "上传")},
        {QStringLiteral("upload failed"), QT_TRANSLATE_NOOP("korvane", "上传失败")},
        {QStringLiteral("replace"), QT_TRANSLATE_NOOP("korvane", "替换")},
        {QStringLiteral("replace failed"), QT_TRANSLATE_NOOP("korvane", "替换失败")},
        {QStringLiteral("download"), QT_TRANSLATE_NOOP("korvane", "下载")},
        {QStringLiteral("download failed"), QT_TRANSLATE_NOOP("korvane", "下载失败")},
        {QStringLiteral("mismatch"), QT_TRANSLATE_NOOP("korvane", "下载的文件与登记不符")},
    };
    for (const auto& [name, text] : kTexts) {
        if (name == event) {
            return Tr("korvane", text);
        }
    }
    return event;  // a kind a newer release writes
}

QStringList HistoryCells(const db::HistoryEvent& e, const OperatorNameOf& operatorName) {
    const QDateTime at = QDateTime::fromString(e.at, Qt::ISODate);
    return {at.isValid() ? at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : e.at,
            operatorName(e.opId),
            e.host,
            HistoryEventText(e.event),
            e.version > 0 ? QString::number(e.version) : QString(),
            e.bytes >= 0 ? QLocale().toString(static_cast<qlonglong>(e.bytes)) : QString(),
            e.result.simplified()};
}

namespace {
QTableWidget* EventTable(const QList<db::HistoryEvent>& events, const OperatorNameOf& name) {
    const QStringList headers{Tr("korvane", "时间"), Tr("korvane", "操作员"),
                              Tr("korvane", "主机"), Tr("korvane", "操作"),
                              Tr("korvane", "版本"), Tr("korvane", "字节数"),
                              Tr("korvane", "结果")};
    auto* table =
        new QTableWidget(static_cast<int>(events.size()), static_cast<int>(headers.size()));
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    for (int row = 0; row < events.size(); ++row) {
        const QStringList cells = HistoryCells(events[row], name);
        for (int column = 0; column < cells.size(); ++column) {
            table->setItem(row, column, new QTableWidgetItem(cells[column]));
        }
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}
}  // namespace

HistoryDialog::HistoryDialog(QWidget* parent, const QString& name, const QString& orderId,
                             const QList<db::HistoryEvent>& ofName,
                             const QList<db::HistoryEvent>& ofOrder,
                             const OperatorNameOf& operatorName)
    : QDialog(parent) {
    setObjectName(QStringLiteral("dlgHistory"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Tr("korvane", "历史记录 - %1").arg(name));
    auto* tabs = new QTabWidget(this);
    tabs->addTab(EventTable(ofName, operatorName), Tr("korvane", "文件[%1]").arg(name));
    tabs->addTab(EventTable(ofOrder, operatorName), Tr("korvane", "申请单[%1]").arg(orderId));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    resize(760, 360);
}

}  // namespace korvane
