#include "TfrmBusinessMain.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QMdiSubWindow>
#include <QTemporaryDir>

#include "BusinessCommon.h"
#include "FormAids.h"
#include "HistoryDialog.h"
#include "HostConfig.h"
#include "HostControls.h"
#include "InputChecks.h"
#include "ListPreview.h"
#include "PathList.h"
#include "RegistrationReads.h"
#include "ReplaceDialog.h"
#include "SearchList.h"
#include "SqlRunner.h"
#include "TransferItems.h"
#include "TransferReports.h"
#include "Translate.h"
#include "WindowBoxes.h"
#include "WindowDownloads.h"
#include "WindowTransfers.h"
#include "ui_formBusinessMain.h"

using korvane::Tr;

namespace {
QString Title() {
    return Tr("korvane", "提示");
}
constexpr uint16_t kOperatorTable = 285;
}  // namespace

using korvane::CodeOf;
using korvane::ReplaceItems;
using korvane::Trimmed;

TfrmBusinessMain::TfrmBusinessMain(QWidget* owner)
    : TfrmMDIChild(owner, DeferLoad{}),
      ui(std::make_unique<Ui::frmBusinessMain>()),
      ftpClock_(&korvane::store::Clock::Real()),
      localNames_(std::make_unique<korvane::LocalNames>()) {
    ui->setupUi(this);
    OpenDialog = new TOpenDialog(this);
    OpenDialog->setObjectName(QStringLiteral("OpenDialog"));
    // Any kind of file is attached: all files come first.
    OpenDialog->Filter = QStringLiteral("*.*|*.*|*.txt|*.txt|*.sql|*.sql");
    OpenDialog->MultiSelect = true;
    // Typing stops where the columns would refuse the text, and says so.
    ui->edRemark->setMaxLength(korvane::kMaxRemarkLength);
    ui->edDownId2->setMaxLength(korvane::kMaxOrderDigits);
    korvane::SayWhenCut(ui->edRemark, ui->Label4->text());
    korvane::SayWhenCut(ui->edDownId2, ui->Label6->text());
    ui->btnOpenFile->setAccessibleName(Tr("korvane", "选择要上传的文件"));
    items_ = std::make_unique<korvane::TransferItems>(
        ADOConnection, ADOQuery, [this](int32_t op) { return OperatorName(op); },
        [this](const QString& text) { Notice(text); },
        [this](const QString& text, const QString& file) { downloads_->ShowFinished(text, file); });
    transfers_ = new korvane::WindowTransfers(
        this, {ui->GroupBox2, ui->btnFpt, ui->btnDown},
        [this](korvane::TransferRequest* request) { return Settle(request); },
        [this](const QString& text) { Notice(text); });
    connect(transfers_, &korvane::WindowTransfers::batchEnded, this, &TfrmBusinessMain::BatchEnded);
    connect(&transfers_->Queue(), &korvane::TransferQueue::ended, this,
            [this](korvane::TransferJob* job) { items_->Record(*job, operatorId_); });
    downloads_ = new korvane::WindowDownloads(
        this, ADOQuery, *items_, *transfers_,
        [this](const QString& text, int style) { Notice(text, style); });
    searchList_ = new korvane::SearchList(ui->lvList, ui->GroupBox3, ADOQuery);
    connect(searchList_, &korvane::SearchList::marked, this, &TfrmBusinessMain::listMarked);
    preview_ =
        new korvane::ListPreview(ui->lvList, [this](int row, korvane::PreviewSource* source) {
            return korvane::RowPreview(
                ADOQuery, searchList_->Model(), row,
                [this](const QString& name) { return SysPara(name); },
                [this](korvane::TransferRequest* request) { return Settle(request); },
                preview_->Pane(), source);
        });
    connect(searchList_, &korvane::SearchList::historyAsked, this,
            [this](int row) { Guarded([this, row] { ShowHistory(row); }); });
    searchList_->SetIdle([this] { return transfers_->Idle(); });
    connect(searchList_, &korvane::SearchList::downloadAsked, this,
            &TfrmBusinessMain::btnDownClick);
    connect(searchList_, &korvane::SearchList::saveAsAsked, this, [this] {
        Guarded([this] {
            if (transfers_->Idle()) {
                Download(true);
            }
        });
    });
    auto* drops = new korvane::FileDrops(this, *localNames_, [this] { return transfers_->Idle(); });
    connect(drops, &korvane::FileDrops::dropped, this, [this](const QStringList& files) {
        ui->edDownPath2->setText(korvane::JoinPathList(files));
    });
    Loaded();
}

TfrmBusinessMain::~TfrmBusinessMain() {
    // Aborts a transfer still running before the connection it registers on goes.
    delete transfers_;
    codeTable_.reset();
}

void TfrmBusinessMain::Notice(const QString& text, int style) {
    const telmaris::BoxOwner owner(this);
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

void TfrmBusinessMain::FormShow() {
    if (operatorId_ == 0) {
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    ADOConnection.SetConnectionString(SysPara(QStringLiteral("korvane_conn")));
    ADOConnection.SetTimeoutSeconds(
        korvane::db::TADOConnection::ParseTimeout(SysPara(QStringLiteral("korvane_db_timeout"))));
    ADOConnection.SetConnected(true);
    const QStringList types = korvane::RegistrationReads(ADOQuery).OrderTypeItems();
    ReplaceItems(ui->cmbDownType, types);
    ReplaceItems(ui->cmbDownType2, types);
    // An operator who restarted the host sees what the earlier sessions did.
    items_->ListEarlier(operatorId_);
    const QDateTime now = QDateTime::currentDateTime();
    ui->dtpBegin->setDateTime(now);
    ui->dtpEnd->setDateTime(now.addDays(1));
    // What a host that died left is finished once the window is up, never in its way.
    QMetaObject::invokeMethod(
        this,
        [this] {
            korvane::TransferRequest request;
            if (Settle(&request).isEmpty()) {
                items_->FinishLeftovers(request, transfers_->Queue().Factory(), operatorId_);
            }
        },
        Qt::QueuedConnection);
}

// Search -----------------------------------------------------------------------------------

void TfrmBusinessMain::btnQueryClick() {
    Guarded([this] { Search(); });
}

void TfrmBusinessMain::Search() {
    korvane::SearchConditions c;
    c.id = Trimmed(ui->edDownId);
    c.type = CodeOf(ui->cmbDownType);
    c.type = c.type == u"0" ? QString() : c.type;
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
    } else if (searchList_->Rows() == 0) {
        Notice(Tr("korvane", "对不起，没找到符合条件的记录！"));
    }
}

bool TfrmBusinessMain::List(const korvane::SearchConditions& c) {
    lastSearch_ = c;
    QStringList types;
    for (int i = 0; i < ui->cmbDownType->count(); ++i) {
        types << ui->cmbDownType->itemText(i);
    }
    return searchList_->List(
        c,
        korvane::RowTexts(types,
                          [this](int32_t op) {
                              return codeTable_
                                         ? QString::fromStdString(codeTable_->GetTextByCode(op))
                                         : QString::number(op);
                          }),
        searchRowLimit_, &listCut_);
}

void TfrmBusinessMain::ShowHistory(int row) {
    const auto [name, orderId] = searchList_->NameAndOrder(row);
    if (!korvane::HistoryDialog::Open(this, ADOQuery, name, orderId,
                                      [this](int32_t op) { return OperatorName(op); })) {
        Notice(Tr("korvane", "数据库中还没有历史记录表，请运行 korvane-dbtool --upgrade。"));
    }
}

// Upload -----------------------------------------------------------------------------------

void TfrmBusinessMain::btnOpenFileClick() {
    Guarded([this] {
        OpenDialog->FileName = QString();
        if (OpenDialog->Execute(this)) {
            ui->edDownPath2->setText(korvane::JoinPathList(OpenDialog->Files));
        }
    });
}

void TfrmBusinessMain::btnFptClick() {
    Guarded([this] {
        if (transfers_->Idle()) {
            Upload();
        }
    });
}

void TfrmBusinessMain::Upload() {
    korvane::UploadInput in{Trimmed(ui->edDownId2), CodeOf(ui->cmbDownType2), QString()};
    in.remark = Trimmed(ui->edRemark);
    in.unit = korvane::LengthUnitOf(ADOConnection.Dialect());
    in.noBackslash = ADOConnection.ReadsBackslashEscapes();
    const korvane::UploadPlan plan = korvane::PlanUpload(
        in, ui->edDownPath2->text(), [this](const QString& p) { return localNames_->IsFile(p); });
    if (!plan.problem.Passed()) {
        Notice(plan.problem.message);
        const QHash<korvane::InputField, QWidget*> fields{
            {korvane::InputField::OrderNumber, ui->edDownId2},
            {korvane::InputField::OrderType, ui->cmbDownType2},
            {korvane::InputField::FilePath, ui->edDownPath2},
            {korvane::InputField::Remark, ui->edRemark}};
        fields.value(plan.problem.field, ui->edDownId2)->setFocus();
        return;
    }
    // Names that text cannot carry are read through links that live as long as the items.
    const auto links = std::make_shared<const QTemporaryDir>();
    QStringList locals;
    for (const QString& path : plan.paths) {
        locals << localNames_->Openable(path, links->path());
    }
    const auto name = [this](int32_t op) { return OperatorName(op); };
    korvane::AskBeforeReplacing(
        this, ADOQuery, plan.remotes, locals, name, Title(),
        [this, in, plan, locals, links](const auto& choices) {
            if (!transfers_->Idle()) {
                return;  // another transfer started while the question stood
            }
            const auto items = items_->UploadBatch(in, plan, locals, links, choices, operatorId_);
            if (items.isEmpty()) {
                Notice(Tr("korvane", "没有上传文件：%1都已跳过。")
                           .arg(choices.Skipped().join(Tr("korvane", "、"))));
                return;
            }
            transfers_->Start(korvane::Direction::Upload, items, choices.Skipped());
        });
}

void TfrmBusinessMain::ClearUploadInputs() {
    ui->edDownId2->clear();
    ui->edDownPath2->clear();
    ui->edRemark->clear();
    ui->cmbDownType2->setCurrentIndex(-1);
    ui->cmbDownType2->clearEditText();
}

QString TfrmBusinessMain::OperatorName(int32_t operatorId) const {
    return korvane::OperatorName(
        codeTable_ ? QString::fromStdString(codeTable_->GetTextByCode(operatorId)) : QString(),
        operatorId);
}

// Download ---------------------------------------------------------------------------------

void TfrmBusinessMain::btnDownClick() {
    Guarded([this] {
        if (transfers_->Idle()) {
            Download(false);
        }
    });
}

void TfrmBusinessMain::Download(bool saveAs) {
    downloads_->Start(*searchList_, ui->lvList->SelectedIndexes(),
                      SysPara(QStringLiteral("korvane_down_dir")), saveAs);
}

// Transfers --------------------------------------------------------------------------------

// A system parameter's value, both scope selectors 0; empty when it is absent.
QString TfrmBusinessMain::SysPara(const QString& name) {
    QString value;
    int scope1 = 0;
    int scope2 = 0;
    sysMgnt_.GetSysParaMaxValue(scope1, scope2, name, value);
    return value;
}

QString TfrmBusinessMain::Settle(korvane::TransferRequest* request) {
    return korvane::SettleRequest([this](const QString& name) { return SysPara(name); },
                                  ftpTimeouts_, ftpClock_, request);
}

bool TfrmBusinessMain::FtpTransfer(int direction, const QString& remoteFile,
                                   const QString& localFile) {
    korvane::TransferQueue::Item item;
    item.request.direction =
        direction == 1 ? korvane::Direction::Upload : korvane::Direction::Download;
    item.request.remote = remoteFile;
    item.request.local = localFile;
    item.report = [this](const korvane::TransferJob& job) {
        if (!job.Outcome().Succeeded()) {
            Notice(korvane::OutcomeMessage(job.Request(), job.Outcome()));
        }
    };
    return transfers_->Start(item.request.direction, {item});
}

void TfrmBusinessMain::SetStoreFactory(korvane::StoreFactory factory) {
    preview_->Pane().SetStoreFactory(factory);
    transfers_->Queue().SetStoreFactory(std::move(factory));
}

korvane::TransferJob* TfrmBusinessMain::RunningTransfer() const {
    return transfers_->Queue().Running();
}

bool TfrmBusinessMain::Transferring() const {
    return transfers_->Queue().Busy();
}

void TfrmBusinessMain::BatchEnded(const korvane::BatchEnd& end) {
    if (transfers_->Closing()) {
        CloseFrame();
        return;
    }
    if (end.clearInputs) {
        ClearUploadInputs();
    }
    if (end.listAgain && lastSearch_) {
        List(*lastSearch_);  // the new rows show where the operator looks
    }
    emit transferFinished(end.allSucceeded);
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
    transfers_->AskToClose(Title(), [this] { CloseFrame(); });
}
