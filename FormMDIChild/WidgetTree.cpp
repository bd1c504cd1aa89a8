#include "WidgetTree.h"

#include <algorithm>
#include <cmath>

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolBar>

#include "Controls.h"
#include "TfrmMDIChild.h"

namespace korvane::tree {

namespace {

// Composite controls whose inner widgets are not components of their own.
bool IsComposite(const QObject* o) {
    return qobject_cast<const QComboBox*>(o) || qobject_cast<const QAbstractSpinBox*>(o) ||
           qobject_cast<const QAbstractItemView*>(o) || qobject_cast<const QLineEdit*>(o) ||
           qobject_cast<const THintWindow*>(o);
}

bool IsTabSheet(const QObject* o) {
    const auto* w = qobject_cast<const QWidget*>(o);
    return w && qobject_cast<QStackedWidget*>(w->parentWidget()) &&
           qobject_cast<QTabWidget*>(w->parentWidget()->parentWidget());
}

void Collect(QObject* owner, QList<QObject*>& out) {
    for (QObject* child : owner->children()) {
        out.append(child);
        if (!qobject_cast<TFrame*>(child) && !IsComposite(child)) {
            Collect(child, out);
        }
    }
}

}  // namespace

QWidget* OuterControl(QWidget* w) {
    while (w && w->parentWidget() &&
           (qobject_cast<QComboBox*>(w->parentWidget()) ||
            qobject_cast<QAbstractSpinBox*>(w->parentWidget()))) {
        w = w->parentWidget();
    }
    return w;
}

bool IsEditBox(const QObject* o) {
    const auto* edit = qobject_cast<const QLineEdit*>(o);
    return edit && OuterControl(const_cast<QLineEdit*>(edit)) == edit;
}

bool IsMouseMoveContainer(const QObject* o) {
    return qobject_cast<const QGroupBox*>(o) || qobject_cast<const TPanel*>(o) ||
           qobject_cast<const QScrollArea*>(o) || qobject_cast<const QHeaderView*>(o) ||
           qobject_cast<const QToolBar*>(o) || IsTabSheet(o) || IsEditBox(o);
}

QWidget* DirectChildAt(QWidget* container, const QPoint& p) {
    QWidget* c = container->childAt(p);
    while (c && c->parentWidget() != container) {
        c = c->parentWidget();
    }
    return c;
}

}  // namespace korvane::tree

QColor ColorFromBgr(unsigned bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto channel = [](float v) {
            return v <= 0.03928f ? v / 12.92
                                 : std::pow((static_cast<double>(v) + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableBackground(const QColor& wanted, const QPalette& palette) {
    const QColor text = palette.color(QPalette::WindowText);
    const QColor base = palette.color(QPalette::Window);
    constexpr int kSteps = 20;
    for (int step = kSteps; step >= 0; --step) {
        const double share = static_cast<double>(step) / kSteps;
        const auto mix = [share](int w, int b) {
            return static_cast<int>(std::lround(share * w + (1.0 - share) * b));
        };
        const QColor candidate(mix(wanted.red(), base.red()), mix(wanted.green(), base.green()),
                               mix(wanted.blue(), base.blue()));
        if (ContrastRatio(candidate, text) >= kMinimumContrast) {
            return candidate;
        }
    }
    return base;  // the theme's own pair, whatever it keeps
}

QWidget* FormOf(QObject* control) {
    auto* w = qobject_cast<QWidget*>(control);
    for (QWidget* p = w; p; p = p->parentWidget()) {
        if (qobject_cast<TfrmMDIChild*>(p)) {
            return p;
        }
    }
    return w ? w->window() : nullptr;
}

QList<QObject*> OwnedComponents(QObject* owner) {
    QList<QObject*> out;
    if (owner) {
        korvane::tree::Collect(owner, out);
    }
    return out;
}

namespace korvane::tree {

namespace {
bool IsTabStop(QWidget* form, QWidget* w) {
    return w != form && form->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) != 0 &&
           w->isVisibleTo(form) && w->isEnabled() && w->focusProxy() == nullptr;
}
}  // namespace

QWidget* NextTabStop(QWidget* form, QWidget* from, bool forward) {
    // The focus chain runs through the whole window; the form's part of it is its order.
    QWidget* start = from != nullptr && form->isAncestorOf(from) ? from : form;
    QWidget* w = start;
    do {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        if (IsTabStop(form, w)) {
            return w;
        }
    } while (w != start);
    return nullptr;
}

}  // namespace korvane::tree
