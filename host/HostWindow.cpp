#include "HostWindow.h"

#include <QMdiArea>

namespace telmaris {

namespace {
QPointer<QMdiArea>& Area() {
    static QPointer<QMdiArea> area;
    return area;
}
}  // namespace

void SetHostMdiArea(QMdiArea* area) {
    Area() = area;
}
QMdiArea* HostMdiArea() {
    return Area().data();
}

}  // namespace telmaris
