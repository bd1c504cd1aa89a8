#include "Tour.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPageSize>
#include <QPainter>
#include <QPalette>
#include <QPdfWriter>
#include <QProgressDialog>
#include <QScreen>
#include <QScrollArea>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "DialogHook.h"
#include "FindChild.h"
#include "HostConfig.h"
#include "HostControls.h"
#include "HostMainWindow.h"
#include "RunningJobs.h"
#include "TransfersPanel.h"

namespace telmaris {

namespace {

constexpr int kTransferWaitMs = 120000;

void Settle() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
}

// The tour drives the window itself, as no operator does: it lets the host run until done
// holds, at most kTransferWaitMs.
bool WaitUntil(const std::function<bool()>& done) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < kTransferWaitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    return done();
}

// Transfers run as jobs: the tour goes on once every one of them has ended.
bool WaitForTransfers() {
    const bool ended = WaitUntil([] { return RunningJobs::Instance().Count() == 0; });
    if (!ended) {
        std::fprintf(stderr, "tour: a transfer did not end within %d s\n", kTransferWaitMs / 1000);
    }
    return ended;
}

bool Shot(HostMainWindow& host, const QString& dir, const QString& name) {
    Settle();
    const QString path = QDir(dir).filePath(name);
    const bool saved = host.grab().save(path);
    std::printf("  screenshot %s %s\n", saved ? "saved to" : "could not be saved to",
                qPrintable(path));
    return saved;
}

template <class T>
T* Find(const QWidget* form, const char* name) {
    return korvane::FindChild<T>(form, name, [](const char* missing) {
        std::fprintf(stderr, "tour: the window has no %s\n", missing);
    });
}

QByteArray Contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every folder a download may land in: the configured one, the program's, the user's.
QStringList DownloadCandidates() {
    IniFile ini;
    LoadHostConfig(ini);
    QStringList dirs{QCoreApplication::applicationDirPath(),
                     QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)};
    if (const auto configured =
            ini.Value(QStringLiteral("SysPara"), QStringLiteral("korvane_down_dir"));
        configured && !configured->isEmpty()) {
        dirs.prepend(*configured);
    }
    return dirs;
}

// The path that the download's message names ("下载成功！保存在[<path>]，请查看！" in the
// language the host chose).
QString SavedPath(const QString& message) {
    const QStringList parts =
        QCoreApplication::translate("korvane", "下载成功！保存在[%1]，请查看！")
            .split(QStringLiteral("%1"));
    if (parts.size() != 2) {
        return QString();
    }
    const qsizetype begin = message.indexOf(parts[0]);
    const qsizetype end = message.lastIndexOf(parts[1]);
    if (begin < 0 || end < begin + parts[0].size()) {
        return QString();
    }
    return message.mid(begin + parts[0].size(), end - begin - parts[0].size());
}

// Saves one picture of the screen while a transfer's progress dialog stands part of the way:
// the dialog is a window of its own, beside the host's.
class ProgressShot {
public:
    explicit ProgressShot(const QString& path) : path_(path) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Look(); });
        timer_.start(50);
    }

private:
    void Look() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QProgressDialog*>(w);
            if (dialog == nullptr || !dialog->isVisible() || dialog->value() <= 0 ||
                dialog->value() >= dialog->maximum()) {
                continue;
            }
            const bool saved = QGuiApplication::primaryScreen()->grabWindow(0).save(path_);
            std::printf("  screenshot of the progress dialog %s %s\n",
                        saved ? "saved to" : "could not be saved to", qPrintable(path_));
            timer_.stop();
            return;
        }
    }
    QString path_;
    QTimer timer_;
};

// A dark desktop theme as Fusion paints one: light text on dark grey.
QPalette DarkPalette() {
    QPalette p(QColor(53, 53, 53));
    p.setColor(QPalette::WindowText, QColor(230, 230, 230));
    p.setColor(QPalette::Text, QColor(230, 230, 230));
    p.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    p.setColor(QPalette::Base, QColor(35, 35, 35));
    p.setColor(QPalette::AlternateBase, QColor(45, 45, 45));
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::white);
    return p;
}

// The documents the preview is shown with: a contract of three pages and a sideways scan.
bool WritePreviewSamples(const QString& pdfPath, const QString& tiffPath) {
    {
        QPdfWriter pdf(pdfPath);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setResolution(72);
        QPainter painter(&pdf);
        QFont font = painter.font();
        font.setPointSize(28);
        painter.setFont(font);
        for (int page = 1; page <= 3; ++page) {
            if (page > 1) {
                pdf.newPage();
            }
            painter.drawRect(painter.viewport().adjusted(40, 40, -40, -40));
            painter.drawText(
                painter.viewport().adjusted(70, 70, -70, -70), Qt::TextWordWrap,
                QStringLiteral("合同书\n第 %1 页，共 3 页\n\n甲方：……\n乙方：……").arg(page));
        }
    }
    QImage scan(700, 480, QImage::Format_RGB32);
    scan.fill(QColor(236, 232, 220));
    QPainter painter(&scan);
    painter.setPen(QColor(40, 40, 90));
    QFont font = painter.font();
    font.setPointSize(26);
    painter.setFont(font);
    painter.drawRect(scan.rect().adjusted(20, 20, -21, -21));
    painter.drawText(scan.rect().adjusted(50, 50, -50, -50), Qt::TextWordWrap,
                     QStringLiteral("营业执照（扫描件）\n统一社会信用代码 9100000000000000XX"));
    painter.end();
    return QFileInfo::exists(pdfPath) && QImageWriter(tiffPath, "tiff").write(scan);
}

// The row of list that lists remote, -1 when none does.
int RowOf(const TListViewEx* list, const QString& remote) {
    for (int i = 0; i < list->Count(); ++i) {
        if (list->ItemText(i, 2) == remote) {
            return i;
        }
    }
    return -1;
}

// Selects row of list, shows the preview pane and waits until it has drawn name.
bool PreviewRow(TListViewEx* list, QWidget* pane, int row, const QString& name) {
    list->setFocus();
    list->selectRow(row);
    if (pane->isHidden()) {
        QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QCoreApplication::sendEvent(list, &space);
    }
    const bool shown =
        WaitUntil([pane, &name] { return pane->property("shownName").toString() == name; });
    if (!shown) {
        std::fprintf(stderr, "tour: the preview did not show %s\n", qPrintable(name));
    }
    return shown;
}
// An upload of a registered name asks first, in a dialog of the window's own that the hook does
// not answer (a later tour uploads the same names again): the tour replaces the file.
void ReplaceWhenAsked(const QWidget* form) {
    auto* question = form->findChild<QDialog*>(QStringLiteral("ReplaceDialog"));
    auto* rest =
        question ? question->findChild<QAbstractButton*>(QStringLiteral("replaceRest")) : nullptr;
    auto* replace =
        question ? question->findChild<QAbstractButton*>(QStringLiteral("replaceButton")) : nullptr;
    if (rest != nullptr && replace != nullptr) {
        std::printf("  [question] %s: replace\n", qPrintable(question->windowTitle()));
        rest->setChecked(true);
        replace->click();
    }
}

// A second window of the module beside the first, told apart by its number in its caption, in
// the transfers panel and in its boxes: it uploads the sample as another order, and the two
// windows are pictured tiled above the panel. The first window is then alone again.
bool TwoWindows(HostMainWindow& host, QMdiSubWindow* first, const QString& samplePath,
                const QString& shotDir) {
    std::printf("6. a second window uploads %s as order 1025\n", qPrintable(samplePath));
    QWidget* second = host.OpenWindow(host.ModuleCount() - 1);
    auto* id = second ? Find<QLineEdit>(second, "edDownId2") : nullptr;
    auto* type = second ? Find<QComboBox>(second, "cmbDownType2") : nullptr;
    auto* path = second ? Find<QLineEdit>(second, "edDownPath2") : nullptr;
    auto* upload = second ? Find<QAbstractButton>(second, "btnFpt") : nullptr;
    if (!id || !type || !path || !upload) {
        return false;
    }
    std::printf("  its caption: %s\n", qPrintable(second->windowTitle()));
    id->setText(QStringLiteral("1025"));
    type->setCurrentIndex(type->count() > 1 ? 1 : 0);
    path->setText(samplePath);
    upload->click();
    ReplaceWhenAsked(second);
    if (!WaitForTransfers()) {
        return false;
    }
    host.MdiArea()->tileSubWindows();
    host.Transfers()->show();
    const bool saved = Shot(host, shotDir, QStringLiteral("6a-two-windows.png"));
    const QList<QMdiSubWindow*> subs = host.MdiArea()->subWindowList();
    for (QMdiSubWindow* sub : subs) {
        if (sub != first) {
            sub->close();
        }
    }
    first->showMaximized();
    return saved;
}

// Pauses the next job the host lists as soon as it can be paused, once.
class PauseNextJob {
public:
    PauseNextJob() {
        connection_ =
            QObject::connect(&RunningJobs::Instance(), &RunningJobs::changed, [this] { Look(); });
    }
    ~PauseNextJob() { QObject::disconnect(connection_); }
    PauseNextJob(const PauseNextJob&) = delete;
    PauseNextJob& operator=(const PauseNextJob&) = delete;
    int Paused() const {
        const RunningJobs::Entry* e = RunningJobs::Instance().Find(id_);
        return e != nullptr && e->paused ? id_ : 0;
    }
    void Look() {
        for (const RunningJobs::Entry& e : RunningJobs::Instance().Entries()) {
            if (id_ == 0 && e.state == RunningJobs::State::Running && e.hooks.pause &&
                RunningJobs::Instance().Pause(e.id)) {
                id_ = e.id;
            }
        }
    }

private:
    QMetaObject::Connection connection_;
    int id_ = 0;
};

// An upload of 2 MiB (ten seconds on the main job's paced server) paused as it starts: the panel
// shows it paused, and it then resumes from what the server holds and ends.
bool PausedUpload(HostMainWindow& host, QWidget* form, const QString& shotDir) {
    std::printf("6b. an upload paused in the transfers panel, then resumed\n");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("档案扫描.bin"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    for (int i = 0; i < 2; ++i) {
        file.write(QByteArray(1 << 20, static_cast<char>('a' + i)));
    }
    file.close();
    auto* id = Find<QLineEdit>(form, "edDownId2");
    auto* type = Find<QComboBox>(form, "cmbDownType2");
    auto* path2 = Find<QLineEdit>(form, "edDownPath2");
    auto* upload = Find<QAbstractButton>(form, "btnFpt");
    if (!id || !type || !path2 || !upload) {
        return false;
    }
    id->setText(QStringLiteral("1026"));
    type->setCurrentIndex(type->count() > 1 ? 1 : 0);
    path2->setText(path);
    PauseNextJob pause;
    upload->click();
    ReplaceWhenAsked(form);
    if (!WaitUntil([&pause] {
            pause.Look();
            return pause.Paused() != 0 || RunningJobs::Instance().Count() == 0;
        })) {
        return false;
    }
    if (pause.Paused() == 0) {
        // A server that takes the whole file at once (a site's own, not the paced one of the
        // main job) leaves nothing to pause: the tour goes on without this picture.
        std::printf("  the upload ended before it could be paused; no picture of it\n");
        return WaitForTransfers();
    }
    host.Transfers()->show();
    QTableWidget* rows = host.Transfers()->Table();
    const QList<QTableWidgetItem*> mine = rows->findItems(QStringLiteral("1026"), Qt::MatchExactly);
    if (!mine.isEmpty()) {
        rows->selectRow(mine.constFirst()->row());  // its 继续 shows as the one to press
    }
    const bool saved = Shot(host, shotDir, QStringLiteral("6b-paused-upload.png"));
    RunningJobs::Instance().Resume(pause.Paused());
    return WaitForTransfers() && saved;
}

// The tour's exit code: 0 when the download saved as target equals the sample and every
// window was pictured.
int Verdict(const QString& target, const QString& samplePath, bool pictured) {
    std::printf("  saved as %s\n", qPrintable(target));
    const bool identical = QFileInfo::exists(target) && Contents(target) == Contents(samplePath);
    std::printf("result: the downloaded file %s\n",
                identical ? "is byte-identical to the sample" : "DIFFERS from the sample");
    return identical && pictured ? 0 : 1;
}

}  // namespace

int RunKorvaneTour(HostMainWindow& host, const QString& samplePath, const QString& shotDir) {
    QDir().mkpath(shotDir);
    QMdiSubWindow* sub = host.MdiArea()->currentSubWindow();
    if (sub == nullptr && !host.MdiArea()->subWindowList().isEmpty()) {
        sub = host.MdiArea()->subWindowList().constFirst();
    }
    QWidget* form = sub ? sub->widget() : nullptr;
    if (auto* scroller = qobject_cast<QScrollArea*>(form)) {
        form = scroller->widget();  // forms scroll inside their sub-windows
    }
    if (form == nullptr) {
        std::fprintf(stderr, "tour: no korvane window is open\n");
        return 1;
    }
    static QString lastMessage;
    SetDialogHook([](const DialogRequest& r) {
        lastMessage = r.text;
        std::printf("  [box: %s] %s\n", qPrintable(r.title),
                    qPrintable(QString(r.text).replace(u'\n', QStringLiteral(" / "))));
        return DialogAnswer{true, QString()};
    });
    std::printf("korvane tour\n1. the window\n");
    Shot(host, shotDir, QStringLiteral("1-window.png"));

    auto* id2 = Find<QLineEdit>(form, "edDownId2");
    auto* type2 = Find<QComboBox>(form, "cmbDownType2");
    auto* path2 = Find<QLineEdit>(form, "edDownPath2");
    auto* remark = Find<QLineEdit>(form, "edRemark");
    auto* upload = Find<QAbstractButton>(form, "btnFpt");
    auto* id = Find<QLineEdit>(form, "edDownId");
    auto* query = Find<QAbstractButton>(form, "btnQuery");
    auto* list = Find<TListViewEx>(form, "lvList");
    auto* download = Find<QAbstractButton>(form, "btnDown");
    if (!id2 || !type2 || !path2 || !remark || !upload || !id || !query || !list || !download) {
        return 1;
    }

    std::printf("2. upload %s as order 1024\n", qPrintable(samplePath));
    id2->setText(QStringLiteral("1024"));
    type2->setCurrentIndex(type2->count() > 1 ? 1 : 0);
    path2->setText(samplePath);
    remark->setText(QStringLiteral("签字件"));
    Shot(host, shotDir, QStringLiteral("2-upload-filled.png"));
    upload->click();
    ReplaceWhenAsked(form);
    if (!WaitForTransfers()) {
        return 1;
    }
    Shot(host, shotDir, QStringLiteral("3-uploaded.png"));

    std::printf("3. search order 1024\n");
    id->setText(QStringLiteral("1024"));
    query->click();
    Shot(host, shotDir, QStringLiteral("4-search.png"));
    const QString remote = QStringLiteral("1024_") + QFileInfo(samplePath).fileName();
    const int row = RowOf(list, remote);
    std::printf("  %d row(s) listed\n", list->Count());
    if (row < 0) {
        std::fprintf(stderr, "tour: %s is not listed\n", qPrintable(remote));
        return 1;
    }

    std::printf("4. download %s\n", qPrintable(remote));
    // A copy from an earlier tour would be resumed, not replaced: none may be left where the
    // download can land.
    for (const QString& dir : DownloadCandidates()) {
        QFile::remove(dir + u'/' + remote);
    }
    list->selectRow(row);
    {
        const ProgressShot progress(
            QDir(shotDir).filePath(QStringLiteral("5a-download-progress.png")));
        download->click();
        if (!WaitForTransfers()) {
            return 1;
        }
    }
    Shot(host, shotDir, QStringLiteral("5-downloaded.png"));
    const QString target = SavedPath(lastMessage);

    std::printf("5. preview a contract (PDF) and a scan (TIFF) beside the list\n");
    QTemporaryDir samples;
    const QStringList previewed{samples.filePath(QStringLiteral("合同.pdf")),
                                samples.filePath(QStringLiteral("营业执照.tif"))};
    auto* pane = Find<QWidget>(form, "pnlPreview");
    if (pane == nullptr || !WritePreviewSamples(previewed[0], previewed[1])) {
        return 1;
    }
    for (const QString& path : previewed) {
        id2->setText(QStringLiteral("1024"));
        type2->setCurrentIndex(type2->count() > 1 ? 1 : 0);
        path2->setText(path);
        upload->click();
        ReplaceWhenAsked(form);
        if (!WaitForTransfers()) {
            return 1;
        }
    }
    query->click();
    const QStringList shots{QStringLiteral("5b-preview-pdf.png"),
                            QStringLiteral("5c-preview-tiff.png")};
    for (qsizetype i = 0; i < previewed.size(); ++i) {
        const QString name = QStringLiteral("1024_") + QFileInfo(previewed[i]).fileName();
        if (!PreviewRow(list, pane, RowOf(list, name), name)) {
            return 1;
        }
        Shot(host, shotDir, shots[i]);
    }
    // The session's transfers, the upload and the download, as the host lists them.
    host.Transfers()->show();
    Shot(host, shotDir, QStringLiteral("6-transfers.png"));
    const bool pictured =
        TwoWindows(host, sub, samplePath, shotDir) && PausedUpload(host, form, shotDir);
    // The same window under a dark desktop theme: the form's colours follow it.
    const QPalette light = QApplication::palette();
    QApplication::setPalette(DarkPalette());
    Shot(host, shotDir, QStringLiteral("7-dark.png"));
    QApplication::setPalette(light);
    SetDialogHook({});
    return Verdict(target, samplePath, pictured);
}

}  // namespace telmaris
