#include "PageRenderer.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "RenderLimits.h"
#include "Translate.h"

namespace korvane {

namespace {

const char kHelper[] = "korvane-preview-render";

QString CannotShow() {
    return Tr("korvane", "文件已损坏或过大，无法显示。");
}

}  // namespace

PageRenderer::PageRenderer(QObject* parent) : QObject(parent) {
    bound_.setSingleShot(true);
    connect(&bound_, &QTimer::timeout, this, &PageRenderer::TimedOut);
}

PageRenderer::~PageRenderer() {
    Stop();
}

QString PageRenderer::HelperPath() {
    const QString set = qEnvironmentVariable("KORVANE_PREVIEW_RENDER");
    if (!set.isEmpty()) {
        return set;
    }
    const QString beside = QCoreApplication::applicationDirPath() + u'/' + QLatin1String(kHelper);
    if (QFileInfo(beside).isExecutable()) {
        return beside;
    }
    return QStringLiteral(KORVANE_PREVIEW_HELPER_DIR "/") + QLatin1String(kHelper);
}

void PageRenderer::Render(const QString& file, int page, int width) {
    Stop();
    auto* process = new QProcess(this);
    process_ = process;
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->setStandardErrorFile(QProcess::nullDevice());
    connect(process, &QProcess::finished, this, &PageRenderer::Ended);
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart && process == process_) {
            Stop();
            emit refused(Tr("korvane", "预览程序[%1]无法启动。").arg(HelperPath()));
        }
    });
    bound_.start(timeLimitMs_);
    process->start(HelperPath(), {file, QString::number(page), QString::number(width)});
}

void PageRenderer::Stop() {
    bound_.stop();
    if (QProcess* process = process_) {
        process_ = nullptr;
        process->disconnect(this);
        // Killed and reaped without waiting here; the object goes once the process has.
        connect(process, &QProcess::finished, process, &QObject::deleteLater);
        if (process->state() == QProcess::NotRunning) {
            process->deleteLater();
        } else {
            process->kill();
        }
    }
}

void PageRenderer::TimedOut() {
    Stop();
    emit refused(CannotShow());
}

void PageRenderer::Ended(int exitCode, QProcess::ExitStatus status) {
    QProcess* process = process_;
    if (process == nullptr || sender() != process) {
        return;
    }
    const QByteArray answer = process->readAllStandardOutput();
    Stop();
    int page = 0;
    int pages = 0;
    const QImage image = status == QProcess::NormalExit && exitCode == preview::kShown
                             ? Parse(answer, &page, &pages)
                             : QImage();
    if (image.isNull()) {
        emit refused(CannotShow());
        return;
    }
    emit rendered(image, page, pages);
}

QImage PageRenderer::Parse(const QByteArray& answer, int* page, int* pages) {
    const qsizetype eol = answer.indexOf('\n');
    const QList<QByteArray> fields = answer.left(qMax<qsizetype>(eol, 0)).split(' ');
    if (eol < 0 || fields.size() != 5 || fields.at(0) != "KVPR") {
        return QImage();
    }
    *pages = fields.at(1).toInt();
    *page = fields.at(2).toInt();
    const int width = fields.at(3).toInt();
    const int height = fields.at(4).toInt();
    const qint64 bytes = static_cast<qint64>(width) * height * 4;
    if (width <= 0 || height <= 0 || width > preview::kMaxSide * 4 ||
        height > preview::kMaxSide * 4 || answer.size() - eol - 1 != bytes) {
        return QImage();
    }
    QImage image(reinterpret_cast<const uchar*>(answer.constData() + eol + 1), width, height,
                 QImage::Format_RGB32);
    return image.copy();
}

}  // namespace korvane
