#pragma once

#include <QList>
#include <QPointer>
#include <QString>

#include "HostApi.h"

class QMdiArea;
class QWidget;

namespace telmaris {

// The host application's MDI area, where child forms attach themselves; null when the forms
// run without a host window (they are then top-level windows).
TELMARIS_HOST_API void SetHostMdiArea(QMdiArea* area);
TELMARIS_HOST_API QMdiArea* HostMdiArea();

// Windows of one caption are told apart by a number, as MDI applications do: the first keeps its
// caption, the second and later ones carry " [n]" after it. Gives window the lowest number that
// none of open with the same caption holds (a number comes free when its window is gone), and
// its caption; returns the number.
TELMARIS_HOST_API int NumberWindow(QWidget* window, const QList<QPointer<QWidget>>& open);
// The number the host gave window or the window it lies in; 0 for none.
TELMARIS_HOST_API int WindowNumber(const QWidget* window);
// text as a box or dialog of window is titled: with window's number from 2 on.
TELMARIS_HOST_API QString NumberedTitle(const QString& text, const QWidget* window);

}  // namespace telmaris
