#include "TfrmBusinessMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>

#include "BusinessCommon.h"
#include "DownloadFolder.h"
#include "FileRecord.h"
#include "GuiServices.h"
#include "HostConfig.h"
#include "HostControls.h"
#include "InputChecks.h"
#include "PathList.h"
#include "Registration.h"
#include "RowTexts.h"
#include "SqlRunner.h"
#include "Statements.h"
#include "StoreSettings.h"
#include "Transfer.h"
#include "TransferHistory.h"
#include "TransferJob.h"
#include "TransferProgress.h"
#include "Translate.h"
#include "TrimBlanks.h"
#include "WindowTransfers.h"
#include "ui_formBusinessMain.h"

using korvane::Tr;

namespace {
QString Title() {
    return korvane::Tr("korvane", "提示");
}
QString AllTypes() {
    return korvane::Tr("korvane", "[0] 所有类型");
}
const QString kOrderTypeSql = QStringLiteral(
    "select code_value,cname from xg.sys_base_type where enum_name='RES_DOWNLOAD_PATH@DOWN_TYPE'");
constexpr uint16_t kOperatorTable = 285;

QString Trimmed(const QLineEdit* edit) {
    return telmaris::TrimBlanks(edit->text());
}

QString CodeOf(const QComboBox* combo) {
    return QString::number(ExtractItemCode(combo->currentText()));
}

// Replaces a combo box's items without touching the text it shows (nothing gets selected).
void ReplaceItems(QComboBox* combo, const QStringList& items) {
    const QString shown = combo->currentText();
    combo->clear();
    combo->addItems(items);
    combo->setCurrentIndex(-1);
    combo->setEditText(shown);
}
}  // namespace

TfrmBusinessMain::TfrmBusinessMain(QWidget* owner)
    : TfrmMDIChild(owner, DeferLoad{}), ui(std::make_unique<Ui::frmBusinessMain>()) {
    ui->setupUi(this);
    OpenDialog = new TOpenDialog(this);
    OpenDialog->setObjectName(QStringLiteral("OpenDialog"));
    OpenDialog->Filter = QStringLiteral("*.txt|*.txt|*.sql|*.sql|*.*|*.*");
    OpenDialog->MultiSelect = true;
    // Typing stops where the columns would refuse the text.
    ui->edRemark->setMaxLength(korvane::kMaxRemarkLength);
    ui->edDownId2->setMaxLength(korvane::kMaxOrderDigits);
    setAcceptDrops(true);
    ui->btnOpenFile->setAccessibleName(Tr("korvane", "选择要上传的文件"));
    transfers_ = new korvane::WindowTransfers(this, operatorId_);
    ConnectTransfers();
    SetUpList();
    Loaded();
}

void TfrmBusinessMain::SetUpList() {
    list_ = new korvane::RegistrationModel(
        ui->lvList->ColumnCaptions() << Tr("korvane", "大小"),
        korvane::RowTexts({}, [](int32_t op) { return QString::number(op); }), this);
    ui->lvList->setModel(list_);
    ui->lvList->setSortingEnabled(true);
    ui->lvList->horizontalHeader()->setSortIndicator(korvane::RegistrationModel::kDate,
                                                     Qt::DescendingOrder);
    connect(ui->lvList, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& at) {
        ui->lvList->selectRow(at.row());
        btnDownClick();
    });
}

TfrmBusinessMain::~TfrmBusinessMain() {
    // Aborts a transfer still running before the connection it registers on goes.
    delete transfers_;
    codeTable_.reset();
}

void TfrmBusinessMain::Notice(const QString& text, int style) {
    ShowGUIMessage(text, Title(), style);
}

bool TfrmBusinessMain::RunSQL(const QString& text) {
    return korvane::RunSQL(ADOQuery, text);
}

void TfrmBusinessMain::LoadCodeTable(uint16_t tableNo,
                                     std::unique_ptr<korvane::CodeTableLookup>& holder) {
    korvane::LoadCodeTable(tableNo, holder);
}

bool TfrmBusinessMain::InitBusinessForm(int32_t number, uint16_t third, uint16_t second,
                                        int32_t first, int32_t operatorId,
                                        const QString& sessionText) {
    ShowWaitBox(Tr("korvane", "正在获取基础数据，请稍后..."));
    struct CloseOnExit {
        ~CloseOnExit() { CloseWaitBox(); }
    } closeOnExit;
    number_ = number;
    operatorId_ = operatorId;
    transfers_->SetOperator(operatorId);
    first_ = first;
    second_ = second;
    third_ = third;
    sessionText_ = sessionText;
    if (operatorId_ == 0) {
        // Every registration names its operator: no window without one.
        ShowGUIMessage(telmaris::MissingOperatorMessage(), Title(), MB_ICONERROR);
        return false;
    }
    if (!sysMgnt_.Init(0, 0, 0, 0, operatorId_)) {
        ShowGUIMessage(Tr("korvane", "系统管理服务初始化失败."), Title(), MB_ICONERROR);
        return false;
    }
    LoadCodeTable(kOperatorTable, codeTable_);
    return true;
}

// Showing ----------------------------------------------------------------------------------

void TfrmBusinessMain::FormShow() {
    if (operatorId_ == 0) {
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    ADOConnection.SetConnectionString(SysPara(QStringLiteral("korvane_conn")));
    ADOConnection.SetTimeoutSeconds(
        korvane::db::TADOConnection::ParseTimeout(SysPara(QStringLiteral("korvane_db_timeout"))));
    ADOConnection.SetConnected(true);
    RunSQL(kOrderTypeSql);
    FillOrderTypes();
    const QDateTime now = QDateTime::currentDateTime();
    ui->dtpBegin->setDateTime(now);
    ui->dtpEnd->setDateTime(now.addDays(1));
}

void TfrmBusinessMain::FillOrderTypes() {
    QStringList items{AllTypes()};
    while (!ADOQuery.Eof()) {
        items << u'[' + ADOQuery.FieldAsString(QStringLiteral("code_value")) +
                     QStringLiteral("] ") + ADOQuery.FieldAsString(QStringLiteral("cname"));
        ADOQuery.Next();
    }
    ReplaceItems(ui->cmbDownType, items);
    ReplaceItems(ui->cmbDownType2, items);
}

// Search -----------------------------------------------------------------------------------

void TfrmBusinessMain::btnQueryClick() {
    Guarded([this] { Search(); });
}

void TfrmBusinessMain::Search() {
    korvane::SearchConditions c;
    c.id = Trimmed(ui->edDownId);
    c.type = CodeOf(ui->cmbDownType);
    if (c.type == u"0") {
        c.type.clear();
    }
    c.name = Trimmed(ui->edDownPath);
    c.useDates = ui->chkDate->isChecked();
    c.begin = ui->dtpBegin->date();
    c.end = ui->dtpEnd->date();
    const korvane::InputProblem problem = korvane::CheckSearch(c);
    if (!problem.Passed()) {
        Notice(problem.message);
        ui->edDownId->setFocus();
        return;
    }
    if (!List(c)) {
        return;
    }
    if (listCut_) {
        // The operator narrows the search rather than waits for the rest.
        Notice(Tr("korvane", "符合条件的记录超过%1条，只列出了前%1条，请增加查询条件后再查询！")
                   .arg(searchRowLimit_));
    } else if (list_->rowCount() == 0) {
        Notice(Tr("korvane", "对不起，没找到符合条件的记录！"));
    }
}

bool TfrmBusinessMain::List(const korvane::SearchConditions& c) {
    lastSearch_ = c;
    QStringList types;
    for (int i = 0; i < ui->cmbDownType->count(); ++i) {
        types << ui->cmbDownType->itemText(i);
    }
    list_->SetTexts(korvane::RowTexts(types, [this](int32_t op) {
        return codeTable_ ? QString::fromStdString(codeTable_->GetTextByCode(op))
                          : QString::number(op);
    }));
    list_->Clear();
    ShowRowCount();
    ADOQuery.SetForwardOnly(true);  // a large result is read once, not held twice
    RunSQL(korvane::BuildSearchStatement(c));
    if (!ADOQuery.Active()) {
        return false;  // the runner has said why; there is nothing to list
    }
    listCut_ = korvane::AppendRows(ADOQuery, *list_, searchRowLimit_);
    ADOQuery.Close();
    // The rows show first; the marks take another look at the database and follow at once.
    QTimer::singleShot(0, this, [this, c, generation = ++listGeneration_] {
        if (generation == listGeneration_) {
            Guarded([&] { MarkRows(c); });
        }
    });
    if (!listSorted_) {
        listSorted_ = true;
        ui->lvList->sortByColumn(korvane::RegistrationModel::kDate, Qt::DescendingOrder);
        ui->lvList->resizeColumnsToContents();
    } else {
        list_->sort(ui->lvList->horizontalHeader()->sortIndicatorSection(),
                    ui->lvList->horizontalHeader()->sortIndicatorOrder());
    }
    ShowRowCount();
    return true;
}

void TfrmBusinessMain::ShowRowCount() {
    const int rows = list_->rowCount();
    ui->GroupBox3->setTitle(
        rows == 0
            ? Tr("korvane", "列表")
            : Tr("korvane", "列表（共 %1 条）").arg(QLocale(QLocale::English).toString(rows)));
}

void TfrmBusinessMain::MarkRows(const korvane::SearchConditions& c) {
    QString reason;
    // Without these marks the list still holds what the search found.
    if (korvane::TryRunSQL(ADOQuery, korvane::BuildLatestStatement(c), &reason)) {
        const int name = ADOQuery.FieldIndex(QStringLiteral("down_path"));
        const int latest = ADOQuery.FieldIndex(QStringLiteral("latest"));
        for (; !ADOQuery.Eof(); ADOQuery.Next()) {
            list_->MarkReplacedBefore(ADOQuery.FieldAsString(name), ADOQuery.FieldAsString(latest));
        }
    }
    if (korvane::TryRunSQL(ADOQuery, korvane::BuildRecordedSizesStatement(c), &reason)) {
        for (; !ADOQuery.Eof(); ADOQuery.Next()) {
            list_->SetRecordedSize(ADOQuery.FieldAsString(QStringLiteral("file_name")),
                                   ADOQuery.FieldAsInt64(QStringLiteral("file_size")));
        }
    }
    ADOQuery.Close();
    list_->EndMarks();
    QHeaderView* header = ui->lvList->horizontalHeader();
    // Marks and sizes arrive after the columns were fitted: widen their columns, never narrow
    // what was set.
    for (const int column :
         {korvane::RegistrationModel::kDate, korvane::RegistrationModel::kSize}) {
        header->resizeSection(
            column,
            std::max(header->sectionSize(column),
                     static_cast<QAbstractItemView*>(ui->lvList)->sizeHintForColumn(column)));
    }
    if (header->sortIndicatorSection() == korvane::RegistrationModel::kSize) {
        list_->sort(header->sortIndicatorSection(), header->sortIndicatorOrder());
    }
    emit listMarked();
}

// Upload -----------------------------------------------------------------------------------

void TfrmBusinessMain::btnOpenFileClick() {
    Guarded([this] {
        OpenDialog->FileName = QStringLiteral("*.txt");
        if (OpenDialog->Execute(this)) {
            ui->edDownPath2->setText(korvane::JoinPathList(OpenDialog->Files));
        }
    });
}

void TfrmBusinessMain::btnFptClick() {
    Guarded([this] { Upload(); });
}

void TfrmBusinessMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!korvane::DroppedFiles(event->mimeData()).isEmpty() && ui->GroupBox2->isEnabled()) {
        event->acceptProposedAction();
    }
}

void TfrmBusinessMain::dropEvent(QDropEvent* event) {
    const QStringList files = korvane::DroppedFiles(event->mimeData());
    if (!files.isEmpty() && ui->GroupBox2->isEnabled()) {
        ui->edDownPath2->setText(korvane::JoinPathList(files));
        event->acceptProposedAction();
    }
}

bool TfrmBusinessMain::ConfirmReplacing(const QStringList& remoteNames) {
    QStringList quoted;
    for (const QString& name : remoteNames) {
        quoted << korvane::QuotedSql(name);
    }
    const QString sql =
        QStringLiteral("select distinct down_path from zy.res_download_path where down_path in (") +
        quoted.join(u',') + u')';
    QString reason;
    QStringList registered;
    if (korvane::TryRunSQL(ADOQuery, sql, &reason)) {
        for (; !ADOQuery.Eof(); ADOQuery.Next()) {
            registered << ADOQuery.FieldAsString(QStringLiteral("down_path"));
        }
        if (registered.isEmpty()) {
            return true;
        }
    } else {
        registered = remoteNames;
    }
    QStringList described;
    for (const QString& name : registered) {
        described << u'[' + name + u']' + StoredText(name);
    }
    QString question =
        registered.size() == 1
            ? Tr("korvane", "服务器上已有登记过的同名文件%1，上传将替换该文件。是否继续？")
                  .arg(described.first())
            : Tr("korvane", "服务器上已有登记过的同名文件：\n%1\n上传将替换这些文件。是否继续？")
                  .arg(described.join(u'\n'));
    if (!reason.isEmpty()) {
        // Without the registrations nobody can tell: ask rather than replace silently.
        question += Tr("korvane", "\n（无法读取已登记的文件，不能确认是否同名：%1）").arg(reason);
    }
    return AskYesNo(question, Title());
}

void TfrmBusinessMain::Upload() {
    const QStringList paths = korvane::SplitPathList(Trimmed(ui->edDownPath2));
    korvane::UploadInput in{Trimmed(ui->edDownId2), CodeOf(ui->cmbDownType2), QString()};
    in.remark = Trimmed(ui->edRemark);
    in.unit = korvane::LengthUnitOf(ADOConnection.Dialect());
    QStringList remotes;
    for (const QString& path : paths.isEmpty() ? QStringList{QString()} : paths) {
        in.path = path;
        const korvane::InputProblem problem =
            korvane::CheckUpload(in, [](const QString& p) { return QFileInfo(p).isFile(); });
        if (!problem.Passed()) {
            Notice(problem.message);
            const QHash<korvane::InputField, QWidget*> fields{
                {korvane::InputField::OrderNumber, ui->edDownId2},
                {korvane::InputField::OrderType, ui->cmbDownType2},
                {korvane::InputField::FilePath, ui->edDownPath2},
                {korvane::InputField::Remark, ui->edRemark}};
            fields.value(problem.field, ui->edDownId2)->setFocus();
            return;
        }
        remotes << korvane::RemoteName(in.id, path);
    }
    if (remotes.removeDuplicates() > 0) {
        Notice(Tr("korvane", "所选的文件中有同名文件，同一申请单的文件名称不能重复！"));
        ui->edDownPath2->setFocus();
        return;
    }
    if (!ConfirmReplacing(remotes)) {
        return;
    }
    const QString remark = in.remark;
    QList<korvane::TransferQueue::Item> items;
    for (int i = 0; i < paths.size(); ++i) {
        korvane::TransferQueue::Item item;
        if (!MakeRequest(1, remotes[i], paths[i], &item.request)) {
            return;
        }
        korvane::Registration::Upload upload;
        upload.remote = remotes[i];
        upload.insert =
            korvane::BuildInsertStatement(in.id, in.type, remotes[i], operatorId_, remark);
        upload.operatorId = operatorId_;
        // Twice the transfer's timeout past its last sign of life: a host that died.
        upload.expireSeconds = std::max(60, 2 * item.request.timeouts.writeMs / 1000);
        upload.keepVersions = item.request.settings.keepVersions;
        item.prepare = [this, upload](korvane::TransferJob& job) {
            auto registration =
                std::make_unique<korvane::Registration>(ADOConnection, ADOQuery, upload);
            const QString busy =
                registration->Claim([this](int32_t op) { return OperatorName(op); });
            if (busy.isEmpty()) {
                job.SetRegistrar(std::move(registration));
            }
            return busy;
        };
        item.report = [this](const korvane::TransferJob& job) { UploadEnded(job); };
        items << item;
    }
    Enqueue(korvane::Direction::Upload, items);
}

void TfrmBusinessMain::UploadEnded(const korvane::TransferJob& job) {
    using Step = korvane::TransferOutcome::Step;
    const korvane::TransferOutcome& outcome = job.Outcome();
    if (!outcome.Succeeded()) {
        Notice(korvane::OutcomeMessage(job.Request(), outcome));
        if (outcome.reached <= Step::Transfer && !outcome.cancelled) {
            Notice(Tr("korvane", "文件上传失败！"));
        }
        return;
    }
    Notice(Tr("korvane", "文件上传成功，数据保存成功！"));
}

void TfrmBusinessMain::ClearUploadInputs() {
    ui->edDownId2->clear();
    ui->edDownPath2->clear();
    ui->edRemark->clear();
    ui->cmbDownType2->setCurrentIndex(-1);
    ui->cmbDownType2->clearEditText();
}

QString TfrmBusinessMain::OperatorName(int32_t operatorId) const {
    QString name =
        codeTable_ ? QString::fromStdString(codeTable_->GetTextByCode(operatorId)) : QString();
    // The lookup's item text is "[code] name": the message names the person.
    if (name.startsWith(u'[') && name.contains(QStringLiteral("] "))) {
        name = name.section(QStringLiteral("] "), 1);
    }
    return name.isEmpty() ? QString::number(operatorId) : name;
}

std::optional<korvane::db::StoredFile> TfrmBusinessMain::Recorded(const QString& remote) {
    try {
        return korvane::db::FileRecord(ADOQuery).Current(remote);
    } catch (const std::exception&) {
        return std::nullopt;  // without the record nothing is known of the file
    }
}

QString TfrmBusinessMain::StoredText(const QString& remote) {
    const auto stored = Recorded(remote);
    if (!stored || stored->sha256.isEmpty()) {
        return QString();
    }
    return Tr("korvane", "（%1，%2于%3上传）")
        .arg(korvane::FormatBytes(static_cast<uint64_t>(stored->size)), OperatorName(stored->opId),
             stored->storedAt);
}

std::optional<korvane::ExpectedFile> TfrmBusinessMain::RecordedFile(const QString& remote) {
    const auto stored = Recorded(remote);
    if (!stored || stored->sha256.isEmpty()) {
        return std::nullopt;
    }
    return korvane::ExpectedFile{static_cast<uint64_t>(stored->size), stored->sha256};
}

// Download ---------------------------------------------------------------------------------

void TfrmBusinessMain::btnDownClick() {
    Guarded([this] { Download(); });
}

void TfrmBusinessMain::Download() {
    const QList<int> rows = ui->lvList->SelectedIndexes();
    if (rows.isEmpty()) {
        Notice(Tr("korvane", "请选择要下载的记录!"), MB_NOICON);
        return;
    }
    QStringList remotes;
    QStringList replacedNames;
    for (const int row : rows) {
        const QString remote = ui->lvList->ItemText(row, 2);
        if (!korvane::IsPlainFileName(remote)) {
            Notice(Tr("korvane", "文件名称[%1]无效，不能下载！").arg(remote));
            return;
        }
        if (!remotes.contains(remote)) {
            remotes << remote;  // two rows of one name are one file
        }
        if (ui->lvList->ItemText(row, 4).endsWith(korvane::ReplacedMark())) {
            replacedNames << remote;
        }
    }
    const korvane::DownloadFolder folder = korvane::ChooseDownloadFolder(
        telmaris::TrimBlanks(SysPara(QStringLiteral("korvane_down_dir"))),
        QCoreApplication::applicationDirPath(),
        QStandardPaths::writableLocation(QStandardPaths::DownloadLocation),
        korvane::CanCreateFilesIn);
    if (folder.path.isEmpty()) {
        Notice(folder.error);
        return;
    }
    QList<korvane::TransferQueue::Item> items;
    for (const QString& remote : remotes) {
        korvane::TransferQueue::Item item;
        if (!MakeRequest(2, remote, folder.path + u'/' + remote, &item.request)) {
            return;
        }
        item.prepare = [this](korvane::TransferJob& job) {
            job.SetExpected(RecordedFile(job.Request().remote));
            return QString();
        };
        const bool replaced = replacedNames.contains(remote);
        item.report = [this, replaced](const korvane::TransferJob& job) {
            DownloadEnded(job, replaced);
        };
        items << item;
    }
    Enqueue(korvane::Direction::Download, items);
}

void TfrmBusinessMain::DownloadEnded(const korvane::TransferJob& job, bool replaced) {
    if (!job.Outcome().Succeeded()) {
        Notice(korvane::OutcomeMessage(job.Request(), job.Outcome()));
        return;
    }
    QString text = Tr("korvane", "下载成功！保存在[%1]，请查看！").arg(job.Request().local);
    if (replaced) {
        text += Tr("korvane", "\n该记录的文件已被之后上传的同名文件替换，下载的是最新的文件。");
    }
    ShowMessage(text);
}

// FTP --------------------------------------------------------------------------------------

// A system parameter's value, both scope selectors 0; empty when it is absent.
QString TfrmBusinessMain::SysPara(const QString& name) {
    QString value;
    int scope1 = 0;
    int scope2 = 0;
    sysMgnt_.GetSysParaMaxValue(scope1, scope2, name, value);
    return value;
}

bool TfrmBusinessMain::FtpTransfer(int direction, const QString& remoteFile,
                                   const QString& localFile) {
    korvane::TransferQueue::Item item;
    if (!MakeRequest(direction, remoteFile, localFile, &item.request)) {
        return false;
    }
    item.report = [this](const korvane::TransferJob& job) {
        if (!job.Outcome().Succeeded()) {
            Notice(korvane::OutcomeMessage(job.Request(), job.Outcome()));
        }
    };
    Enqueue(item.request.direction, {item});
    return true;
}

bool TfrmBusinessMain::MakeRequest(int direction, const QString& remoteFile,
                                   const QString& localFile, korvane::TransferRequest* request) {
    QString invalid;
    const auto parameter = [this](const QString& name) { return SysPara(name); };
    if (!korvane::ReadStoreSettings(parameter, &request->settings, &invalid)) {
        Notice(invalid);  // nothing is transferred with a setting the site did not mean
        return false;
    }
    request->timeouts = ftpTimeouts_;
    request->clock = ftpClock_;
    if (request->settings.timeoutSeconds) {
        request->timeouts = korvane::store::Timeouts::All(*request->settings.timeoutSeconds * 1000);
    }
    request->direction = direction == 1 ? korvane::Direction::Upload : korvane::Direction::Download;
    request->remote = remoteFile;
    request->local = localFile;
    return true;
}

void TfrmBusinessMain::Enqueue(korvane::Direction direction,
                               const QList<korvane::TransferQueue::Item>& items) {
    batchDirection_ = direction;
    SetTransferControlsEnabled(false);
    for (const korvane::TransferQueue::Item& item : items) {
        transfers_->Queue().Add(item);
    }
}

void TfrmBusinessMain::SetStoreFactory(korvane::StoreFactory factory) {
    transfers_->Queue().SetStoreFactory(std::move(factory));
}

korvane::TransferJob* TfrmBusinessMain::RunningTransfer() const {
    return transfers_->Queue().Running();
}

bool TfrmBusinessMain::Transferring() const {
    return transfers_->Queue().Busy();
}

void TfrmBusinessMain::ConnectTransfers() {
    korvane::TransferQueue& queue = transfers_->Queue();
    connect(&queue, &korvane::TransferQueue::ended, this, [this](korvane::TransferJob* job) {
        korvane::RecordHistory(ADOQuery, *job, operatorId_);
        if (closeWhenDone_ || transfers_->Queue().BatchSize() > 1) {
            return;  // a window that goes says nothing; a batch ends with one summary
        }
        if (const auto& report = transfers_->Queue().Current().report) {
            report(*job);
        }
    });
    connect(&queue, &korvane::TransferQueue::refused, this,
            [this](const korvane::TransferQueue::Item&, const QString& why) {
                if (!closeWhenDone_ && transfers_->Queue().BatchSize() == 1) {
                    Notice(why);
                }
            });
    connect(&queue, &korvane::TransferQueue::finished, this, &TfrmBusinessMain::BatchEnded);
}

void TfrmBusinessMain::BatchEnded() {
    const QList<korvane::TransferQueue::Result>& batch = transfers_->Queue().Batch();
    const bool all =
        std::all_of(batch.begin(), batch.end(),
                    [](const korvane::TransferQueue::Result& r) { return r.succeeded; });
    SetTransferControlsEnabled(true);
    if (closeWhenDone_) {
        CloseFrame();
        return;
    }
    if (batch.size() > 1) {
        Notice(korvane::TransferQueue::Summary(batchDirection_, batch));
    }
    const bool uploaded =
        std::any_of(batch.begin(), batch.end(),
                    [](const korvane::TransferQueue::Result& r) { return r.succeeded; });
    if (batchDirection_ == korvane::Direction::Upload) {
        if (all) {
            ClearUploadInputs();
        }
        if (uploaded && lastSearch_) {
            List(*lastSearch_);  // the new rows show where the operator looks
        }
    }
    emit transferFinished(all);
}

void TfrmBusinessMain::SetTransferControlsEnabled(bool enabled) {
    for (QWidget* w : {static_cast<QWidget*>(ui->GroupBox2), static_cast<QWidget*>(ui->btnFpt),
                       static_cast<QWidget*>(ui->btnDown)}) {
        w->setEnabled(enabled);
    }
}

void TfrmBusinessMain::CloseFrame() {
    // In the host's MDI area the form lives in a sub-window: closing only the form would leave
    // the empty frame behind.
    if (QMdiSubWindow* frame = SubWindow()) {
        frame->close();
    } else {
        close();
    }
}

void TfrmBusinessMain::closeEvent(QCloseEvent* event) {
    if (!Transferring()) {
        TfrmMDIChild::closeEvent(event);
        return;
    }
    // The transfers end (and clean up) first; the window closes once they have.
    event->ignore();
    if (!closeWhenDone_ &&
        AskYesNo(Tr("korvane", "正在传输文件，要取消传输并关闭窗口吗？"), Title())) {
        closeWhenDone_ = true;
        if (Transferring()) {
            transfers_->Queue().CancelAll();
        } else {
            CloseFrame();
        }
    }
}
