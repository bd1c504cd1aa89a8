#include "WindowDownloads.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <utility>

#include "DialogHook.h"
#include "DownloadFolder.h"
#include "GuiServices.h"
#include "LocalCopy.h"
#include "OpenLocal.h"
#include "TransferItems.h"
#include "TransferReports.h"
#include "Translate.h"
#include "TrimBlanks.h"
#include "WindowBoxes.h"
#include "WindowTransfers.h"

namespace korvane {

namespace {
// A message box of the window's own (see OpenWindowBox), opened by the caller.
QMessageBox* WindowBox(QMessageBox::Icon icon, const QString& text) {
    return new QMessageBox(icon, QApplication::applicationDisplayName(), text,
                           QMessageBox::NoButton);
}
}  // namespace

WindowDownloads::WindowDownloads(QWidget* window, db::TADOQuery& query, const TransferItems& items,
                                 WindowTransfers& transfers, Notice notice)
    : QObject(window),
      window_(window),
      query_(query),
      items_(items),
      transfers_(transfers),
      notice_(std::move(notice)) {}

void WindowDownloads::Start(const SearchList& list, const QList<int>& selected,
                            const QString& configured, bool saveAs) {
    if (selected.isEmpty()) {
        notice_(Tr("korvane", "请选择要下载的记录!"), MB_NOICON);
        return;
    }
    const SearchList::Chosen chosen = list.Files(selected);
    if (!chosen.invalid.isNull()) {
        notice_(Tr("korvane", "文件名称[%1]无效，不能下载！").arg(chosen.invalid),
                MB_ICONINFORMATION);
        return;
    }
    const DownloadFolder folder = ChooseDownloadFolder(
        telmaris::TrimBlanks(configured), QCoreApplication::applicationDirPath(),
        QStandardPaths::writableLocation(QStandardPaths::DownloadLocation), CanCreateFilesIn);
    if (folder.path.isEmpty()) {
        notice_(folder.error, MB_ICONINFORMATION);
    } else if (saveAs) {
        SaveAs(chosen.rows.first(), folder.path);
    } else {
        Download(chosen.rows, folder.path);
    }
}

PlannedDownload WindowDownloads::Plan(const SearchList::RowFile& row, const QString& folder) const {
    PlannedDownload d;
    d.name = row.name;
    d.createDate = row.createDate;
    d.replacedRow = row.replaced;
    d.plan = PlanRowDownload(query_, row.name, row.createDate);
    d.local = folder + u'/' + d.plan.localName;
    return d;
}

void WindowDownloads::Download(const QList<SearchList::RowFile>& rows, const QString& folder) {
    QList<PlannedDownload> downloads;
    QStringList locals;
    for (const SearchList::RowFile& row : rows) {
        PlannedDownload d = Plan(row, folder);
        if (!locals.contains(d.local)) {  // rows of one version are one file
            locals << d.local;
            downloads << d;
        }
    }
    Settle(downloads);
}

void WindowDownloads::SaveAs(const SearchList::RowFile& row, const QString& folder) {
    const PlannedDownload d = Plan(row, folder);
    auto* dialog = new QFileDialog(window_, Tr("korvane", "另存为"), d.local);
    dialog->setObjectName(QStringLiteral("SaveAsDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    // An existing file is asked about as every download asks, with the choice to keep both.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QFileDialog::fileSelected, this, [this, d](const QString& path) {
        PlannedDownload chosen = d;
        chosen.local = path;
        Settle({chosen});
    });
    dialog->open();
}

void WindowDownloads::Settle(QList<PlannedDownload> downloads) {
    QList<int> conflicts;
    QStringList described;
    QString folder;
    for (int i = 0; i < downloads.size(); ++i) {
        const LocalLook look = LookAt(downloads[i].local, downloads[i].plan.expected);
        if (look.state == LocalLook::State::Other) {
            const QFileInfo local(downloads[i].local);
            conflicts << i;
            described << LocalFileLine(local.fileName(), look);
            folder = local.absolutePath();
        }
    }
    if (conflicts.isEmpty()) {
        Start(downloads);
        return;
    }
    // Never a dialog hook's answer: only the operator's word replaces their own files.
    QMessageBox* box = WindowBox(QMessageBox::Question, LocalConflictQuestion(folder, described));
    box->setObjectName(QStringLiteral("LocalConflictQuestion"));
    const QList<std::pair<QAbstractButton*, Choice>> buttons{
        {box->addButton(Tr("korvane", "替换"), QMessageBox::DestructiveRole), Choice::Replace},
        {box->addButton(Tr("korvane", "保留两者"), QMessageBox::AcceptRole), Choice::KeepBoth},
        {box->addButton(Tr("korvane", "取消"), QMessageBox::RejectRole), Choice::Cancel}};
    box->setDefaultButton(qobject_cast<QPushButton*>(buttons[1].first));
    box->setEscapeButton(buttons[2].first);
    connect(box, &QMessageBox::buttonClicked, this,
            [this, downloads, conflicts, buttons](QAbstractButton* clicked) {
                for (const auto& [button, choice] : buttons) {
                    if (button == clicked) {
                        Answered(downloads, conflicts, choice);
                    }
                }
            });
    // Over the window, holding only it; the answer comes as a signal.
    telmaris::OpenWindowBox(window_, box);
}

void WindowDownloads::Answered(QList<PlannedDownload> downloads, const QList<int>& conflicts,
                               Choice choice) {
    if (choice == Choice::Cancel) {
        return;
    }
    QStringList taken;
    for (const PlannedDownload& d : downloads) {
        taken << d.local;
    }
    for (const int i : conflicts) {
        if (choice == Choice::Replace) {
            downloads[i].replace = true;
        } else {
            downloads[i].local = FreeName(downloads[i].local, taken);
            taken << downloads[i].local;
        }
    }
    Start(downloads);
}

void WindowDownloads::Start(const QList<PlannedDownload>& downloads) {
    if (!transfers_.Idle()) {  // a retry from the host's list came while the box was up
        Box(Tr("korvane", "窗口正在传输文件，请等传输结束后再下载。"), {}, nullptr);
        return;
    }
    QList<TransferQueue::Item> items;
    for (const PlannedDownload& d : downloads) {
        items << items_.Download(d);
    }
    transfers_.Start(Direction::Download, items);
}

void WindowDownloads::ShowFinished(const QString& text, const QString& file) {
    Box(text, {Tr("korvane", "打开"), Tr("korvane", "打开所在文件夹")}, [this, file](int button) {
        if (button >= 0) {
            // Said in a box of its own when the desktop cannot: nothing fails silently.
            const QString why = telmaris::OpenLocal(file, button == 1);
            if (!why.isEmpty()) {
                Box(why, {}, nullptr);
            }
        }
    });
}

void WindowDownloads::Box(const QString& text, const QStringList& extra,
                          std::function<void(int)> then) {
    telmaris::DialogRequest request;
    request.kind = telmaris::DialogKind::PlainMessage;
    request.title = QApplication::applicationDisplayName();
    request.text = text;
    request.buttons = extra;
    telmaris::DialogAnswer answer;
    if (telmaris::AnswerByHook(request, answer)) {
        if (then) {
            then(answer.button);
        }
        return;
    }
    QMessageBox* box = WindowBox(QMessageBox::NoIcon, text);
    box->addButton(QMessageBox::Ok);
    QList<QAbstractButton*> buttons;
    for (const QString& caption : extra) {
        buttons << box->addButton(caption, QMessageBox::ActionRole);
    }
    connect(box, &QMessageBox::buttonClicked, this,
            [then = std::move(then), buttons](QAbstractButton* clicked) {
                if (then) {
                    then(static_cast<int>(buttons.indexOf(clicked)));
                }
            });
    // Over the window, holding only it; the answer comes as a signal.
    telmaris::OpenWindowBox(window_, box);
}

}  // namespace korvane
