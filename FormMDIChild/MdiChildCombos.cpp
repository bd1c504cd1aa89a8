// The base form's combo-box aids: a drop-down list wide enough for its longest item, and the
// keyword search on F3 or the context menu.
#include <QAbstractItemView>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QTimer>

#include "Controls.h"
#include "GuiServices.h"
#include "TfrmMDIChild.h"

void TfrmMDIChild::InitTComboBox(QObject* component) {
    if (component == nullptr) {
        return;
    }
    if (auto* combo = qobject_cast<QComboBox*>(component)) {
        AttachComboAids(combo);
        return;
    }
    const QList<QObject*> owned = OwnedComponents(component);
    for (auto it = owned.crbegin(); it != owned.crend(); ++it) {
        QObject* o = *it;
        if (auto* combo = qobject_cast<QComboBox*>(o)) {
            AttachComboAids(combo);
        } else if (qobject_cast<TFrame*>(o)) {
            InitTComboBox(o);
        }
    }
}

void TfrmMDIChild::AttachComboAids(QComboBox* combo) {
    if (auto* t = qobject_cast<TComboBox*>(combo); t && !t->OnDropDown) {
        t->OnDropDown = [this](QObject* sender) { OnComboBoxDropDown(sender); };
    }
    combos_.insert(combo);
    combo->installEventFilter(this);
    combo->setMouseTracking(true);
    Forget(combo);
    if (QLineEdit* editor = combo->lineEdit()) {
        editor->installEventFilter(this);
        editor->setMouseTracking(true);
    }
}

void TfrmMDIChild::ComboContextMenu(QObject* watched, QContextMenuEvent* menu) {
    if (contextPending_ && menu->globalPos() == lastContextPos_) {
        return;  // the same request passed on from the combo box's editor
    }
    QObject* combo = combos_.contains(watched) ? watched : nullptr;
    if (!combo && watched->parent() && combos_.contains(watched->parent())) {
        combo = watched->parent();
    }
    if (combo) {
        contextPending_ = true;
        lastContextPos_ = menu->globalPos();
        QTimer::singleShot(0, this, [this] { contextPending_ = false; });
        bool handled = false;
        OnComboBoxContextPopup(combo, menu->pos(), handled);
    }
}

void TfrmMDIChild::OnComboBoxDropDown(QObject* sender) {
    auto* combo = qobject_cast<QComboBox*>(sender);
    QWidget* form = combo ? FormOf(combo) : nullptr;
    if (form == nullptr) {
        return;
    }
    const QFontMetrics metrics(form->font());
    int width = combo->width();
    for (int i = combo->count() - 1; i >= 0; --i) {
        width = qMax(width, metrics.horizontalAdvance(combo->itemText(i)));
    }
    width += kDropDownMargin;
    if (combo->count() > combo->maxVisibleItems()) {
        width += kScrollBarMargin;
    }
    combo->view()->setMinimumWidth(width);
}

void TfrmMDIChild::OnComboBoxKeyDown(QObject* sender, quint16& key, Qt::KeyboardModifiers) {
    if (key == kF3) {
        if (auto* combo = qobject_cast<QComboBox*>(sender)) {
            InputKeywordForm(combo);
        }
    }
}

void TfrmMDIChild::OnComboBoxContextPopup(QObject* sender, const QPoint&, bool&) {
    if (auto* combo = qobject_cast<QComboBox*>(sender)) {
        InputKeywordForm(combo);
    }
}
