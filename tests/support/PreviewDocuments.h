#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>

namespace korvane::test {

// The colour that fills page (from 0) of the documents below, so a test can tell the page shown.
inline QColor PageColour(int page) {
    return QColor::fromHsv((page * 67) % 360, 200, 220);
}

// A PDF of pages A4 pages, each filled with its colour, numbered and padded with text until the
// file is about padTo bytes (uncompressible page streams, as a scan's would be).
inline QByteArray MakePdf(int pages, qsizetype padTo = 0) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QPdfWriter writer(&out);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(72);
    QPainter painter(&writer);
    const QRect page = painter.viewport();
    for (int i = 0; i < pages; ++i) {
        if (i > 0) {
            writer.newPage();
        }
        painter.fillRect(page.adjusted(40, 40, -40, -40), PageColour(i));
        painter.drawText(page.adjusted(60, 60, 0, 0), QStringLiteral("Page %1").arg(i + 1));
        // Noise as a scan's image; Qt stores it as JPEG, about 2.6 times smaller than its
        // pixels, which a PDF of scans is too.
        if (padTo > 0) {
            const auto rows = static_cast<int>(padTo * 26 / 10 / pages / 3 / 512 + 1);
            QImage noise(512, rows, QImage::Format_RGB888);
            uint32_t state = 2463534242u + static_cast<uint32_t>(i);
            for (int y = 0; y < noise.height(); ++y) {
                uchar* line = noise.scanLine(y);
                for (int x = 0; x < noise.width() * 3; ++x) {
                    state ^= state << 13;
                    state ^= state >> 17;
                    state ^= state << 5;
                    line[x] = static_cast<uchar>(state);
                }
            }
            painter.drawImage(QPoint(40, 100), noise);  // a pixel a point: stored as it is
        }
    }
    painter.end();
    return out.data();
}

// One page of a scan: its colour with a dark band along the top edge, so a turn shows.
inline QImage ScanPage(int page, QSize size = QSize(300, 420)) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(PageColour(page));
    QPainter(&image).fillRect(0, 0, size.width(), size.height() / 10, Qt::black);
    return image;
}

inline QByteArray WriteImage(const QImage& image, const char* format) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QImageWriter writer(&out, format);
    return writer.write(image) ? out.data() : QByteArray();
}

// A multi-page TIFF scan: each page written by QImageWriter, joined by libtiff's tiffcp (Qt
// writes one page per file). Empty when tiffcp is missing.
inline QByteArray MakeTiff(int pages) {
    QTemporaryDir dir;
    QStringList args;
    for (int i = 0; i < pages; ++i) {
        const QString path = dir.filePath(QStringLiteral("p%1.tif").arg(i));
        QImageWriter writer(path, "tiff");
        writer.write(ScanPage(i));
        args << path;
    }
    const QString joined = dir.filePath(QStringLiteral("all.tif"));
    if (QProcess::execute(QStringLiteral("tiffcp"), args << joined) != 0) {
        return QByteArray();
    }
    QFile file(joined);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace korvane::test
