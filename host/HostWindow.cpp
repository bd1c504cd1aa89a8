#include "HostWindow.h"

#include <QMdiArea>
#include <QSet>

namespace telmaris {

namespace {
QPointer<QMdiArea>& Area() {
    static QPointer<QMdiArea> area;
    return area;
}
constexpr const char* kNumber = "telmarisWindowNumber";
constexpr const char* kCaption = "telmarisCaption";

QString CaptionOf(const QWidget* window) {
    const QVariant caption = window->property(kCaption);
    return caption.isValid() ? caption.toString() : window->windowTitle();
}
}  // namespace

void SetHostMdiArea(QMdiArea* area) {
    Area() = area;
}
QMdiArea* HostMdiArea() {
    return Area().data();
}

int NumberWindow(QWidget* window, const QList<QPointer<QWidget>>& open) {
    const QString caption = CaptionOf(window);
    QSet<int> taken;
    for (const QPointer<QWidget>& other : open) {
        if (other && other != window && CaptionOf(other) == caption) {
            taken.insert(WindowNumber(other));
        }
    }
    int number = 1;
    while (taken.contains(number)) {
        ++number;
    }
    window->setProperty(kCaption, caption);
    window->setProperty(kNumber, number);
    window->setWindowTitle(NumberedTitle(caption, window));
    return number;
}

int WindowNumber(const QWidget* window) {
    for (const QWidget* w = window; w != nullptr; w = w->parentWidget()) {
        if (const QVariant n = w->property(kNumber); n.isValid()) {
            return n.toInt();
        }
    }
    return 0;
}

QString NumberedTitle(const QString& text, const QWidget* window) {
    const int number = window != nullptr ? WindowNumber(window) : 0;
    return number >= 2 ? QStringLiteral("%1 [%2]").arg(text).arg(number) : text;
}

}  // namespace telmaris
