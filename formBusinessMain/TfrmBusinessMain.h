#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "GuiServices.h"
#include "LookupLoader.h"
#include "SearchList.h"
#include "Statements.h"
#include "StoreBasics.h"
#include "SysMgnt.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TfrmMDIChild.h"

class TOpenDialog;
// The transfers below the window are only named here: their backends' headers (sockets, TLS,
// SSH) stay out of every file that includes the window.
namespace korvane {
namespace store {
class Clock;
class FileStore;
}  // namespace store
class TransferJob;
struct TransferRequest;
using StoreFactory = std::function<std::unique_ptr<store::FileStore>(const TransferRequest&)>;
class ListPreview;
class LocalNames;
class ReplaceChoices;
class SearchList;
class TransferItems;
class WindowDownloads;
class WindowTransfers;
struct BatchEnd;
}  // namespace korvane

namespace Ui {
class frmBusinessMain;
}

// The registration window: search the registrations, upload a file to the FTP server and
// register it, download a listed file into the host executable's directory. It wires its
// controls to the cores that hold the rules (the statements and reads, the input checks, the
// report rules) and to the window's transfers.
class TfrmBusinessMain : public TfrmMDIChild {
    Q_OBJECT
public:
    explicit TfrmBusinessMain(QWidget* owner = nullptr);
    ~TfrmBusinessMain() override;

    // Stores the session values, initialises the system-management client and loads code
    // table 285, behind a wait box. False when the client could not be initialised.
    bool InitBusinessForm(int32_t number, uint16_t third, uint16_t second, int32_t first,
                          int32_t operatorId, const QString& sessionText);
    // The one path to the database: opens SELECTs, executes the rest, reports a failure once.
    bool RunSQL(const QString& text);
    void LoadCodeTable(uint16_t tableNo, std::unique_ptr<korvane::CodeTableLookup>& holder);
    // Queues one upload (direction 1) or download (any other direction) with the system's FTP
    // settings as a job of this window and returns at once: false, with the reason shown, when
    // the settings do not allow it. transferFinished says how it ended; a progress dialog shows
    // while it runs, and the window's transfer controls wait for it.
    bool FtpTransfer(int direction, const QString& remoteFile, const QString& localFile);
    // The job running now, or null; whether any transfer runs or waits.
    korvane::TransferJob* RunningTransfer() const;
    bool Transferring() const;

    // Shorter store waits than the defaults (tests and scripted runs).
    void SetFtpTimeouts(const korvane::store::Timeouts& t) { ftpTimeouts_ = t; }
    // The clock of the retry pauses and the pacing (tests give one that costs no real time).
    void SetFtpClock(korvane::store::Clock* clock) { ftpClock_ = clock; }
    // Where the transfers' store sessions come from (tests give a scripted store).
    void SetStoreFactory(korvane::StoreFactory factory);
    // A search lists at most this many rows and says so when there are more.
    static constexpr int kMaxSearchRows = 200000;
    void SetSearchRowLimit(int rows) { searchRowLimit_ = rows; }

    int32_t Number() const { return number_; }
    int32_t OperatorId() const { return operatorId_; }
    int32_t FirstValue() const { return first_; }
    uint16_t SecondValue() const { return second_; }
    uint16_t ThirdValue() const { return third_; }
    const QString& SessionText() const { return sessionText_; }
    korvane::CodeTableLookup* CodeTable() const { return codeTable_.get(); }
    korvane::db::TADOConnection& Connection() { return ADOConnection; }

signals:
    // The window's transfers ended: true when for each the login, directory change, transfer
    // and (for an upload) the registration succeeded; after their messages were shown.
    void transferFinished(bool succeeded);
    // The listed rows got their replaced marks and sizes, just after the rows themselves.
    void listMarked();

public slots:
    void FormShow();
    void btnQueryClick();
    void btnOpenFileClick();
    void btnFptClick();
    void btnDownClick();

protected:
    // During a transfer: asks whether to cancel it, and closes once it has ended.
    void closeEvent(QCloseEvent* event) override;

private:
    QString SysPara(const QString& name);
    // Gives request the site's settings and waits as they are now; the reason when they are bad.
    QString Settle(korvane::TransferRequest* request);
    void Search();
    // Lists what c finds, in the list's current order; false when the statement failed.
    bool List(const korvane::SearchConditions& c);
    void Upload();
    // The selected rows' files, or for saveAs the one row under a chosen name.
    void Download(bool saveAs);
    // The history of a listed row's file and order.
    void ShowHistory(int row);
    // What the window does once its transfers ended.
    void BatchEnded(const korvane::BatchEnd& end);
    void ClearUploadInputs();
    // An operator's name from code table 285, else the number.
    QString OperatorName(int32_t operatorId) const;
    // Closes this window's frame: the MDI sub-window when there is one.
    void CloseFrame();
    void Notice(const QString& text, int style = MB_ICONINFORMATION);

    std::unique_ptr<Ui::frmBusinessMain> ui;
    korvane::db::TADOConnection ADOConnection;
    korvane::db::TADOQuery ADOQuery{ADOConnection};
    TOpenDialog* OpenDialog;
    // Every network wait of a transfer, unless korvane_ftp_timeout says otherwise.
    korvane::store::Timeouts ftpTimeouts_ = korvane::store::Timeouts::All(30000);
    korvane::store::Clock* ftpClock_;
    int searchRowLimit_ = kMaxSearchRows;
    bool listCut_ = false;  // the last search had more rows than it listed
    korvane::WindowTransfers* transfers_;
    korvane::SearchList* searchList_;
    korvane::WindowDownloads* downloads_;
    korvane::ListPreview* preview_;
    std::unique_ptr<korvane::LocalNames> localNames_;
    std::unique_ptr<korvane::TransferItems> items_;
    std::optional<korvane::SearchConditions> lastSearch_;  // listed again after an upload

    int32_t number_ = 0;
    int32_t operatorId_ = 0;
    int32_t first_ = 0;
    uint16_t second_ = 0;
    uint16_t third_ = 0;
    QString sessionText_;
    CSysMgntPublic sysMgnt_;
    std::unique_ptr<korvane::CodeTableLookup> codeTable_;
};
