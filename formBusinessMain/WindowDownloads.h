#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <functional>

#include "DownloadPlan.h"
#include "SearchList.h"

class QWidget;

namespace korvane {

namespace db {
class TADOQuery;
}
class TransferItems;
class WindowTransfers;

// A window's downloads before they run and once they succeeded: each row planned (its own
// version, its local name), the local names looked at, one question about those that hold other
// files (replace, keep both, cancel), 另存为… for one row, and the message after one download
// with 打开 and 打开所在文件夹. Every box is modal to the window only and answers by signal: no
// nested event loop.
class WindowDownloads : public QObject {
    Q_OBJECT
public:
    // notice(text, style) tells the operator why nothing was downloaded.
    using Notice = std::function<void(const QString&, int)>;
    WindowDownloads(QWidget* window, db::TADOQuery& query, const TransferItems& items,
                    WindowTransfers& transfers, Notice notice);

    // The files of the list's selected rows (view rows) into the download folder (configured:
    // the site's choice, else the program's or the desktop's folder); saveAs: the one row under
    // a name the operator chooses. Nothing selected, a name that cannot be written or no
    // folder is told and downloads nothing.
    void Start(const SearchList& list, const QList<int>& selected, const QString& configured,
               bool saveAs);

    // Downloads the rows' files into folder.
    void Download(const QList<SearchList::RowFile>& rows, const QString& folder);
    // Asks for the file name to save the row's file under (in folder first), then downloads it.
    void SaveAs(const SearchList::RowFile& row, const QString& folder);
    // The message after a download that succeeded, with buttons that open file or its folder.
    void ShowFinished(const QString& text, const QString& file);

private:
    enum class Choice { Replace, KeepBoth, Cancel };
    PlannedDownload Plan(const SearchList::RowFile& row, const QString& folder) const;
    // Asks about the local names that hold other files, then starts.
    void Settle(QList<PlannedDownload> downloads);
    void Answered(QList<PlannedDownload> downloads, const QList<int>& conflicts, Choice choice);
    void Start(const QList<PlannedDownload>& downloads);
    // A box over the window that returns at once; then(index of the extra button pressed, -1
    // for OK) follows. A dialog hook answers it at once instead.
    void Box(const QString& text, const QStringList& extra, std::function<void(int)> then);

    QWidget* window_;
    db::TADOQuery& query_;
    const TransferItems& items_;
    WindowTransfers& transfers_;
    Notice notice_;
};

}  // namespace korvane
