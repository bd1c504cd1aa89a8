#pragma once

#include <QColor>
#include <QList>
#include <QPalette>

class QObject;
class QPoint;
class QWidget;

// The form a control belongs to: the nearest TfrmMDIChild among it and its parents, else its
// window.
QWidget* FormOf(QObject* control);

// The components that owner owns, in creation order: every descendant, but not those inside a
// frame (they belong to the frame).
QList<QObject*> OwnedComponents(QObject* owner);

// Colour from the framework's BGR number.
QColor ColorFromBgr(unsigned bgr);
// WCAG's contrast ratio of two colours, 1 (none) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);
// The least text contrast the form's colours keep (WCAG AA for normal text).
constexpr double kMinimumContrast = 4.5;
// wanted as the background of palette's WindowText where that reads at kMinimumContrast;
// else wanted mixed into palette's Window as far as that still reads (a dark desktop theme
// gets a dark tint of the family colour, its light text stays readable).
QColor ReadableBackground(const QColor& wanted, const QPalette& palette);

namespace korvane::tree {

// The framework control around a widget that is a composite's inner part (a combo box's editor).
QWidget* OuterControl(QWidget* w);
// A line edit that is a control of its own, not a combo box's or spin box's editor.
bool IsEditBox(const QObject* o);
// The containers and edit boxes whose mouse moves may show an overflow hint.
bool IsMouseMoveContainer(const QObject* o);
// The direct child of container at p (container coordinates), disabled ones included.
QWidget* DirectChildAt(QWidget* container, const QPoint& p);
// The tab stop after (or before) from among form's descendants, wrapping from the last to the
// first: the form's own order, wherever the form is placed. Null when form has none.
QWidget* NextTabStop(QWidget* form, QWidget* from, bool forward);

}  // namespace korvane::tree
