// A file manager's drag in the X11 tests: a small window that, pressed, drags the local files it
// was given (their URLs, and as text their percent-encoded addresses, as file managers offer
// them) until the button goes up.
//
//   drag_source FILE...
// Prints "ready X Y" (the window's centre on the screen) once it is shown, and "dropped 1" once a
// drop was taken; it serves the dropped data until it is ended (at most a minute).
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <QWindow>
#include <cstdio>

namespace {

class Source : public QWidget {
public:
    explicit Source(QList<QUrl> urls) : urls_(std::move(urls)) {
        setWindowTitle(QStringLiteral("drag source"));
        setGeometry(700, 20, 120, 80);
    }

protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* mime = new QMimeData;
        mime->setUrls(urls_);
        QStringList text;
        for (const QUrl& url : urls_) {
            text << url.toString(QUrl::FullyEncoded);
        }
        mime->setText(text.join(u'\n'));
        auto* drag = new QDrag(this);
        drag->setMimeData(mime);
        // The target fetches the data after the drop: this program stays until it is ended.
        const Qt::DropAction action = drag->exec(Qt::CopyAction);
        std::printf("dropped %d\n", action == Qt::CopyAction ? 1 : 0);
        std::fflush(stdout);
    }

private:
    QList<QUrl> urls_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QList<QUrl> urls;
    for (int i = 1; i < argc; ++i) {
        urls << QUrl::fromLocalFile(QString::fromLocal8Bit(argv[i]));
    }
    Source source(urls);
    source.show();
    QTimer exposed;
    QObject::connect(&exposed, &QTimer::timeout, &source, [&] {
        if (source.windowHandle() != nullptr && source.windowHandle()->isExposed()) {
            exposed.stop();
            const QPoint centre = source.mapToGlobal(source.rect().center());
            std::printf("ready %d %d\n", centre.x(), centre.y());
            std::fflush(stdout);
        }
    });
    exposed.start(20);
    QTimer::singleShot(60000, &app, [] { QCoreApplication::exit(2); });
    return QApplication::exec();
}
