#include "PreviewPane.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "PageRenderer.h"
#include "PreviewFetch.h"
#include "PreviewPaneViews.h"
#include "Translate.h"

namespace korvane {

namespace {

enum StackPage { kMessagePage, kProgressPage, kPagePage, kTextPage, kInfoPage };
constexpr int64_t kMiB = 1024 * 1024;

QString SizeText(uint64_t bytes) {
    return QLocale::c().formattedDataSize(static_cast<qint64>(bytes), 1,
                                          QLocale::DataSizeIecFormat);
}

QPushButton* Button(const QString& text, QWidget* parent = nullptr) {
    auto* button = new QPushButton(text, parent);
    button->setAccessibleName(text);
    button->setAutoDefault(false);
    return button;
}

// A text the operator may select and copy, wrapped to the pane's width.
QLabel* Note(const QString& accessibleName) {
    auto* label = new QLabel;
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setAccessibleName(accessibleName);
    return label;
}

// A page of the stack: the widgets one below the other (buttons at the left), room below.
void AddPage(QStackedWidget* stack, std::initializer_list<QWidget*> widgets) {
    auto* page = new QWidget(stack);
    auto* column = new QVBoxLayout(page);
    for (QWidget* w : widgets) {
        column->addWidget(w, 0, qobject_cast<QPushButton*>(w) ? Qt::AlignLeft : Qt::Alignment());
    }
    column->addStretch();
    stack->addWidget(page);
}

}  // namespace

PreviewPane::PreviewPane(QWidget* parent)
    : QWidget(parent),
      cache_(PreviewCache::DefaultFolder(), PreviewCache::kDefaultBoundMiB * kMiB),
      renderer_(new PageRenderer(this)) {
    setObjectName(QStringLiteral("pnlPreview"));
    setAccessibleName(Tr("korvane", "预览"));
    Build();
    progressTimer_.setInterval(100);
    connect(&progressTimer_, &QTimer::timeout, this, &PreviewPane::Progress);
    connect(renderer_, &PageRenderer::rendered, this, &PreviewPane::Rendered);
    connect(renderer_, &PageRenderer::refused, this,
            [this](const QString& reason) { ShowMessage(reason); });
    Clear();
}

PreviewPane::~PreviewPane() {
    DropWork();
}

void PreviewPane::Build() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    title_ = new QLabel(this);
    title_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    layout->addWidget(title_);
    stack_ = new QStackedWidget(this);
    layout->addWidget(stack_, 1);

    message_ = Note(Tr("korvane", "预览消息"));
    ask_ = Button(Tr("korvane", "预览"));
    connect(ask_, &QPushButton::clicked, this, &PreviewPane::Fetch);
    AddPage(stack_, {message_, ask_});

    status_ = new QLabel;
    progress_ = new QProgressBar;
    progress_->setRange(0, 1000);
    progress_->setTextVisible(false);
    progress_->setAccessibleName(Tr("korvane", "获取进度"));
    cancel_ = Button(Tr("korvane", "取消"));
    connect(cancel_, &QPushButton::clicked, this, [this] {
        DropWork();
        ShowMessage(Tr("korvane", "已取消预览。"));
    });
    AddPage(stack_, {status_, progress_, cancel_});

    auto* pagePage = new QWidget(stack_);
    auto* pageLayout = new QVBoxLayout(pagePage);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->addWidget(BuildPageTools());
    view_ = new PageView(pagePage);
    pageLayout->addWidget(view_, 1);
    stack_->addWidget(pagePage);

    text_ = new QPlainTextEdit(stack_);
    text_->setReadOnly(true);
    text_->setAccessibleName(Tr("korvane", "预览文本"));
    stack_->addWidget(text_);

    info_ = Note(Tr("korvane", "文件信息"));
    open_ = Button(Tr("korvane", "打开"));
    connect(open_, &QPushButton::clicked, this, &PreviewPane::Open);
    AddPage(stack_, {info_, open_});
}

QWidget* PreviewPane::BuildPageTools() {
    auto* tools = new QWidget(this);
    auto* row = new QHBoxLayout(tools);
    row->setContentsMargins(0, 0, 0, 0);
    previous_ = Button(Tr("korvane", "上一页"), tools);
    next_ = Button(Tr("korvane", "下一页"), tools);
    pageLabel_ = new QLabel(tools);
    QPushButton* smaller = Button(Tr("korvane", "缩小"), tools);
    QPushButton* larger = Button(Tr("korvane", "放大"), tools);
    QPushButton* fit = Button(Tr("korvane", "适合宽度"), tools);
    QPushButton* rotate = Button(Tr("korvane", "旋转"), tools);
    connect(previous_, &QPushButton::clicked, this, [this] { TurnPage(-1); });
    connect(next_, &QPushButton::clicked, this, [this] { TurnPage(1); });
    connect(smaller, &QPushButton::clicked, this, [this] { ZoomBy(1 / 1.25); });
    connect(larger, &QPushButton::clicked, this, [this] { ZoomBy(1.25); });
    connect(fit, &QPushButton::clicked, this, &PreviewPane::FitWidth);
    connect(rotate, &QPushButton::clicked, this, &PreviewPane::Rotate);
    for (QWidget* w : {static_cast<QWidget*>(previous_), static_cast<QWidget*>(pageLabel_),
                       static_cast<QWidget*>(next_), static_cast<QWidget*>(smaller),
                       static_cast<QWidget*>(larger), static_cast<QWidget*>(fit),
                       static_cast<QWidget*>(rotate)}) {
        row->addWidget(w);
    }
    row->addStretch();
    return tools;
}

void PreviewPane::SetTimeLimitMs(int ms) {
    renderer_->SetTimeLimitMs(ms);
}

void PreviewPane::Show(const PreviewSource& source) {
    DropWork();
    source_ = source;
    file_.clear();
    page_ = 0;
    pages_ = 0;
    view_->Clear();
    title_->setText(source.name);
    if (!source.expected || source.expected->sha256.isEmpty()) {
        ShowMessage(
            Tr("korvane", "文件[%1]没有登记大小和SHA-256，无法核实，不予预览。").arg(source.name));
        return;
    }
    const QString cached = cache_.Find(*source.expected);
    if (!cached.isEmpty()) {
        Display(cached);
    } else if (source.expected->size > static_cast<uint64_t>(maxMiB_ * kMiB)) {
        ShowMessage(Tr("korvane",
                       "文件[%1]有%2，超过预览上限%3 MiB（korvane_preview_max），"
                       "确定要获取并预览吗？")
                        .arg(source.name, SizeText(source.expected->size))
                        .arg(maxMiB_),
                    State::Asking);
    } else {
        Fetch();
    }
}

void PreviewPane::Clear() {
    DropWork();
    source_ = PreviewSource();
    file_.clear();
    view_->Clear();
    title_->clear();
    ShowMessage(Tr("korvane", "选择一条记录以预览其文件。"), State::Empty);
}

void PreviewPane::Refuse(const QString& reason) {
    ShowMessage(reason);
}

void PreviewPane::Fetch() {
    DropWork();
    TransferRequest request = source_.request;
    request.remote = source_.remote;
    auto* fetch = new PreviewFetch(request, *source_.expected, cache_, factory_, this);
    fetch_ = fetch;
    connect(fetch, &PreviewFetch::fetched, this, &PreviewPane::Display);
    connect(fetch, &PreviewFetch::failed, this,
            [this](const QString& message) { ShowMessage(message); });
    connect(fetch, &PreviewFetch::ended, fetch, &QObject::deleteLater);
    status_->setText(
        Tr("korvane", "正在获取[%1]（%2）…").arg(source_.name, SizeText(source_.expected->size)));
    progress_->setValue(0);
    stack_->setCurrentIndex(kProgressPage);
    SetState(State::Fetching);
    progressTimer_.start();
    fetch->Start();
}

void PreviewPane::DropWork() {
    progressTimer_.stop();
    renderer_->Stop();
    if (PreviewFetch* fetch = fetch_) {
        fetch_ = nullptr;
        // It goes once its transfer has stopped (ended), telling this pane nothing more.
        fetch->disconnect(this);
        fetch->setParent(nullptr);
        fetch->Cancel();
    }
}

void PreviewPane::Progress() {
    if (PreviewFetch* fetch = fetch_) {
        const uint64_t total = qMax<uint64_t>(fetch->Total(), 1);
        progress_->setValue(static_cast<int>(qMin<uint64_t>(fetch->Done() * 1000 / total, 1000)));
    }
}

void PreviewPane::Display(const QString& path) {
    progressTimer_.stop();
    fetch_ = nullptr;
    file_ = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowMessage(Tr("korvane", "预览缓存目录[%1]无法创建或写入。").arg(cache_.Folder()));
        return;
    }
    kind_ = SniffKind(file.peek(4096));
    switch (kind_) {
        case PreviewKind::Pdf:
        case PreviewKind::Image:
            status_->setText(Tr("korvane", "正在显示[%1]…").arg(source_.name));
            progress_->setValue(1000);
            stack_->setCurrentIndex(kProgressPage);
            SetState(State::Rendering);
            RenderPage(page_);
            break;
        case PreviewKind::Text: {
            const QByteArray bytes = file.read(kMaxTextBytes);
            const std::optional<QString> text = DecodeText(bytes);
            if (!text) {
                ShowInfo();
            } else if (file.size() > kMaxTextBytes) {
                ShowText(*text + Tr("korvane", "\n……（只显示前 1 MiB）"));
            } else {
                ShowText(*text);
            }
            break;
        }
        case PreviewKind::Other:
            ShowInfo();
            break;
    }
}

int PreviewPane::RenderWidth() const {
    // The pane's width, not the view's: a scroll bar coming or going changes no page drawn.
    const double across = (stack_->width() - 8) * devicePixelRatioF();
    return qBound(480, static_cast<int>(across), 2400);
}

void PreviewPane::Rendered(const QImage& image, int page, int pages) {
    if (!rendered_.contains(rendering_)) {
        const auto kib = static_cast<qsizetype>(image.sizeInBytes() / 1024);
        rendered_.insert(rendering_, new RenderedPage{image, pages}, kib);
    }
    page_ = page;
    pages_ = pages;
    view_->SetImage(image);
    pageLabel_->setText(Tr("korvane", "第 %1/%2 页").arg(page + 1).arg(pages));
    previous_->setEnabled(page > 0);
    next_->setEnabled(page + 1 < pages);
    stack_->setCurrentIndex(kPagePage);
    SetState(State::Page);
    emit shown();
}

bool PreviewPane::TurnPage(int delta) {
    const int to = page_ + delta;
    if (file_.isEmpty() || (state_ != State::Page && state_ != State::Rendering) || to < 0 ||
        to >= pages_) {
        return false;
    }
    page_ = to;
    RenderPage(to);
    return true;
}

void PreviewPane::RenderPage(int page) {
    const int width = RenderWidth();
    rendering_ = QStringLiteral("%1|%2|%3").arg(file_).arg(page).arg(width);
    // Pages drawn before come back at once (the file was verified again by the cache).
    if (const RenderedPage* kept = rendered_.object(rendering_)) {
        renderer_->Stop();
        Rendered(kept->image, page, kept->pages);
        return;
    }
    renderer_->Render(file_, page, width);
}

void PreviewPane::ZoomBy(double factor) {
    view_->ZoomBy(factor);
}

void PreviewPane::FitWidth() {
    view_->FitWidth();
}

void PreviewPane::Rotate() {
    view_->Rotate();
}

const QImage& PreviewPane::PageImage() const {
    return view_->Image();
}

QString PreviewPane::ShownName() const {
    const bool drawn = state_ == State::Page || state_ == State::Text || state_ == State::Info;
    return drawn ? source_.name : QString();
}

QString PreviewPane::Message() const {
    return message_->text();
}

QString PreviewPane::Text() const {
    return text_->toPlainText();
}

void PreviewPane::ShowMessage(const QString& text, State state) {
    DropWork();
    message_->setText(text);
    ask_->setVisible(state == State::Asking);
    stack_->setCurrentIndex(kMessagePage);
    SetState(state);
    if (state != State::Empty) {
        emit stopped();
    }
}

void PreviewPane::ShowInfo(const QString& note) {
    QString text =
        Tr("korvane", "文件：%1\n大小：%2\n上传：%3（%4）")
            .arg(source_.name, SizeText(source_.expected->size), source_.who, source_.when);
    if (!note.isEmpty()) {
        text += u'\n' + note;
    }
    info_->setText(text);
    stack_->setCurrentIndex(kInfoPage);
    SetState(State::Info);
    emit shown();
}

void PreviewPane::ShowText(const QString& text) {
    text_->setPlainText(text);
    stack_->setCurrentIndex(kTextPage);
    SetState(State::Text);
    emit shown();
}

void PreviewPane::Open() {
    // A copy under its registered name, so that the desktop picks the program by its type; the
    // copies of earlier openings go.
    QDir folder(cache_.Folder() + QStringLiteral("/open"));
    folder.removeRecursively();
    const QString copy = folder.filePath(QFileInfo(source_.name).fileName());
    const bool opened = QDir().mkpath(folder.path()) &&
                        QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                                 QFile::ExeOwner) &&
                        QFile::copy(file_, copy) &&
                        QDesktopServices::openUrl(QUrl::fromLocalFile(copy));
    if (!opened) {
        ShowInfo(Tr("korvane", "没有能打开[%1]的程序。").arg(source_.name));
    }
}

void PreviewPane::SetState(State state) {
    state_ = state;
}

void PreviewPane::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_PageDown:
            TurnPage(1);
            break;
        case Qt::Key_PageUp:
            TurnPage(-1);
            break;
        case Qt::Key_Plus:
            ZoomBy(1.25);
            break;
        case Qt::Key_Minus:
            ZoomBy(1 / 1.25);
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

}  // namespace korvane
