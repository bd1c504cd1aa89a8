#pragma once

#include <QCache>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <optional>

#include "PreviewCache.h"
#include "PreviewKind.h"
#include "TransferJob.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace korvane {

class PageRenderer;
class PageView;
class PreviewFetch;

// One registered content to preview, as its list row tells it.
struct PreviewSource {
    QString name;    // the registered name, as the row shows it
    QString remote;  // the store's name of the content (an earlier version's for its row)
    std::optional<ExpectedFile> expected;  // the registration's record; nothing is shown without
    QString who;                           // the operator who registered it
    QString when;                          // and when
    TransferRequest request;               // the site's settings and waits
};

// The preview of the selected registration (object name pnlPreview): the content comes through
// the store into the private cache, is checked against the registration's record and only then
// drawn. PDF pages and images are decoded by the helper process under bounds; texts in UTF-8 or
// GBK are shown as text; anything else shows what the record says, with 打开 handing the file
// to the desktop. It never waits: fetches and decodes end as signals.
class PreviewPane : public QWidget {
    Q_OBJECT
    // The name of the registration drawn now; empty while nothing is (also for scripted runs).
    Q_PROPERTY(QString shownName READ ShownName NOTIFY shown)
public:
    enum class State { Empty, Asking, Fetching, Rendering, Page, Text, Info, Message };
    static constexpr int64_t kDefaultMaxMiB = 50;
    static constexpr qsizetype kMaxTextBytes = 1024 * 1024;

    explicit PreviewPane(QWidget* parent = nullptr);
    ~PreviewPane() override;

    // Where fetches get their store sessions (tests give a scripted store).
    void SetStoreFactory(StoreFactory factory) { factory_ = std::move(factory); }
    void SetCache(const PreviewCache& cache) { cache_ = cache; }
    const PreviewCache& Cache() const { return cache_; }
    // Files above this many MiB are fetched only once the operator agrees (korvane_preview_max).
    void SetMaxMiB(int64_t mib) { maxMiB_ = mib; }
    void SetTimeLimitMs(int ms);

    // Shows source: a verified cached copy at once, else after it is fetched. Whatever was
    // shown or on its way before is dropped, a running fetch cancelled.
    void Show(const PreviewSource& source);
    void Clear();
    // Shows why the selected row cannot be previewed.
    void Refuse(const QString& reason);
    // The next or previous page of a PDF or a multi-page scan; false when there is none.
    bool TurnPage(int delta);
    void ZoomBy(double factor);
    void FitWidth();
    void Rotate();

    State Current() const { return state_; }
    int Page() const { return page_; }
    int Pages() const { return pages_; }
    const QImage& PageImage() const;
    PageView& View() const { return *view_; }
    QString Message() const;
    QString Text() const;
    QString ShownName() const;
    // The verified copy being shown.
    const QString& ShownFile() const { return file_; }

signals:
    // A page, a text or the record's information is drawn.
    void shown();
    // A message is shown instead: a mismatch, a failure, a refusal, a question.
    void stopped();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Build();
    QWidget* BuildPageTools();
    void Fetch();
    void Display(const QString& path);
    void Rendered(const QImage& image, int page, int pages);
    void ShowMessage(const QString& text, State state = State::Message);
    void ShowInfo(const QString& note = QString());
    void ShowText(const QString& text);
    void Open();
    void DropWork();
    void Progress();
    void SetState(State state);
    int RenderWidth() const;
    // Shows page of the verified file: drawn before, or by the helper.
    void RenderPage(int page);

    StoreFactory factory_ = SiteStore;
    PreviewCache cache_;
    int64_t maxMiB_ = kDefaultMaxMiB;
    PreviewSource source_;
    QString file_;
    PreviewKind kind_ = PreviewKind::Other;
    State state_ = State::Empty;
    int page_ = 0;
    int pages_ = 0;
    QPointer<PreviewFetch> fetch_;
    PageRenderer* renderer_;
    QTimer progressTimer_;
    // Pages drawn lately, by file, page and width, at most kKeptPagesKiB of them.
    struct RenderedPage {
        QImage image;
        int pages = 0;
    };
    static constexpr qsizetype kKeptPagesKiB = 96 * 1024;
    QCache<QString, RenderedPage> rendered_{kKeptPagesKiB};
    QString rendering_;

    QLabel* title_;
    QStackedWidget* stack_;
    QLabel* message_;
    QPushButton* ask_;
    QLabel* status_;
    QProgressBar* progress_;
    QPushButton* cancel_;
    PageView* view_;
    QLabel* pageLabel_;
    QPushButton* previous_;
    QPushButton* next_;
    QPlainTextEdit* text_;
    QLabel* info_;
    QPushButton* open_;
};

}  // namespace korvane
