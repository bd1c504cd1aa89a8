#include "FormAids.h"

#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QToolTip>
#include <QWidget>

#include "BusinessCommon.h"
#include "PathList.h"
#include "Translate.h"
#include "TrimBlanks.h"

namespace korvane {

FileDrops::FileDrops(QWidget* window, LocalNames& names, std::function<bool()> takes)
    : QObject(window), names_(names), takes_(std::move(takes)) {
    window->setAcceptDrops(true);
    window->installEventFilter(this);
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->acceptDrops()) {
            w->installEventFilter(this);
        }
    }
}

bool FileDrops::eventFilter(QObject*, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
        return false;
    }
    auto* drop = static_cast<QDropEvent*>(event);
    const QStringList files = DroppedFiles(drop->mimeData(), names_);
    if (files.isEmpty()) {
        return false;  // text, or nothing to upload: the box does as it always does
    }
    if (!takes_()) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (type == QEvent::Drop) {
        emit dropped(files);
    }
    return true;
}

void SayWhenCut(QLineEdit* box, const QString& field) {
    QObject::connect(box, &QLineEdit::inputRejected, box, [box, field] {
        QToolTip::showText(
            box->mapToGlobal(QPoint(0, box->height())),
            Tr("korvane", "%1最多%2个字符，超出的部分没有填入。").arg(field).arg(box->maxLength()),
            box);
    });
}

QString Trimmed(const QLineEdit* edit) {
    return telmaris::TrimBlanks(edit->text());
}

QString CodeOf(const QComboBox* combo) {
    return QString::number(ExtractItemCode(combo->currentText()));
}

void ReplaceItems(QComboBox* combo, const QStringList& items) {
    const QString shown = combo->currentText();
    combo->clear();
    combo->addItems(items);
    combo->setCurrentIndex(-1);
    combo->setEditText(shown);
}

}  // namespace korvane
