// korvane-preview-render FILE PAGE WIDTH: decodes one page of a PDF or a multi-page image under
// limits of time and memory and writes it to standard output (see RenderLimits.h). It is a
// process of its own so that a hostile file can crash or exhaust nothing but it.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPdfDocument>
#include <cstdio>
#include <cstdlib>

#include "PreviewKind.h"
#include "RenderLimits.h"

using namespace korvane::preview;

namespace {

void Limit(int resource, rlim_t value) {
    const rlimit limit{value, value};
    setrlimit(resource, &limit);
}

// The sanitizers reserve terabytes of address space for their shadow; there only the time and
// the decoders' own limits bound a decode.
void LimitSelf() {
    Limit(RLIMIT_CPU, kCpuSeconds);
#if !defined(__SANITIZE_ADDRESS__)
    Limit(RLIMIT_AS, static_cast<rlim_t>(kAddressSpaceBytes));
#endif
    Limit(RLIMIT_CORE, 0);
}

int Write(const QImage& page, int pages, int index) {
    const QImage rgb = page.convertToFormat(QImage::Format_RGB32);
    const QByteArray header = QStringLiteral("KVPR %1 %2 %3 %4\n")
                                  .arg(pages)
                                  .arg(index)
                                  .arg(rgb.width())
                                  .arg(rgb.height())
                                  .toLatin1();
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly)) {
        return kDamaged;
    }
    out.write(header);
    for (int y = 0; y < rgb.height(); ++y) {
        out.write(reinterpret_cast<const char*>(rgb.constScanLine(y)),
                  static_cast<qint64>(rgb.width()) * 4);
    }
    return kShown;
}

int RenderPdf(const QString& path, int page, int width) {
    QPdfDocument doc;
    if (doc.load(path) != QPdfDocument::Error::None || doc.pageCount() <= 0) {
        return kDamaged;
    }
    page = qBound(0, page, doc.pageCount() - 1);
    const QSizeF points = doc.pagePointSize(page);
    if (!(points.width() > 0 && points.height() > 0) || points.width() > kMaxPagePoints ||
        points.height() > kMaxPagePoints) {
        return kTooLarge;
    }
    const double scale = width / points.width();
    const QSize size(width, qBound(1, qRound(points.height() * scale), kMaxSide * 4));
    const QImage drawn = doc.render(page, size);
    if (drawn.isNull()) {
        return kDamaged;
    }
    // Pages are paper: transparent parts are white.
    QImage paper(drawn.size(), QImage::Format_RGB32);
    paper.fill(Qt::white);
    QPainter(&paper).drawImage(0, 0, drawn);
    return Write(paper, doc.pageCount(), page);
}

int RenderImage(const QString& path, int page) {
    QImageReader::setAllocationLimit(kAllocationMiB);
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // Counted first: Qt's TIFF reader counts its pages only from the start of the file.
    const int pages = qMax(1, reader.imageCount());
    const QSize claimed = reader.size();
    if (!reader.canRead()) {
        return kDamaged;
    }
    if (claimed.isValid() &&
        static_cast<long long>(claimed.width()) * claimed.height() > kMaxImagePixels) {
        return kTooLarge;
    }
    page = qBound(0, page, pages - 1);
    if (page > 0 && !reader.jumpToImage(page)) {
        return kDamaged;
    }
    QImage image = reader.read();
    if (image.isNull()) {
        return reader.error() == QImageReader::InvalidDataError ? kDamaged : kTooLarge;
    }
    if (image.width() > kMaxSide || image.height() > kMaxSide) {
        image = image.scaled(kMaxSide, kMaxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    QImage paper(image.size(), QImage::Format_RGB32);
    paper.fill(Qt::white);
    QPainter(&paper).drawImage(0, 0, image);
    return Write(paper, pages, page);
}

int Run() {
    const QStringList args = QCoreApplication::arguments();
    bool pageOk = false;
    bool widthOk = false;
    const int page = args.value(2).toInt(&pageOk);
    const int width = args.value(3).toInt(&widthOk);
    if (args.size() != 4 || !pageOk || !widthOk || width < 16 || width > kMaxSide) {
        std::fputs("usage: korvane-preview-render FILE PAGE WIDTH\n", stderr);
        return kUsage;
    }
    QFile file(args.at(1));
    if (!file.open(QIODevice::ReadOnly)) {
        return kDamaged;
    }
    switch (korvane::SniffKind(file.read(4096))) {
        case korvane::PreviewKind::Pdf:
            return RenderPdf(args.at(1), page, width);
        case korvane::PreviewKind::Image:
            return RenderImage(args.at(1), page);
        default:
            return kUnknown;
    }
}

}  // namespace

int main(int argc, char** argv) {
    LimitSelf();
    QCoreApplication app(argc, argv);
    const int exitCode = Run();
    // The page is out; tearing the decoders down would only cost time.
    std::fflush(stdout);
    std::_Exit(exitCode);
}
