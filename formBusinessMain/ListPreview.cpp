#include "ListPreview.h"

#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLayout>
#include <QSettings>
#include <QSplitter>

#include "DbError.h"
#include "DownloadPlan.h"
#include "HostControls.h"
#include "RegistrationModel.h"
#include "Translate.h"
#include "TrimBlanks.h"

namespace korvane {

namespace {

const QString kShowingKey = QStringLiteral("Preview/Visible");
const QString kSplitterKey = QStringLiteral("Preview/Splitter");

// The operator's own record of the window's arrangement, in their state folder.
QSettings WindowState() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty()) {
        state = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return QSettings(state + QStringLiteral("/telmaris/korvane.ini"), QSettings::IniFormat);
}

// A whole number of MiB from 1 up, or the default when the parameter is absent.
bool ReadMiB(const QString& value, const char* name, int64_t fallback, int64_t* out,
             QString* error) {
    const QString text = telmaris::TrimBlanks(value);
    bool ok = true;
    *out = text.isEmpty() ? fallback : text.toLongLong(&ok);
    if (!ok || *out < 1 || *out > 1024 * 1024) {
        *error = Tr("korvane", "系统参数%1的值[%2]无效：应为1到1048576之间的整数（MiB）。")
                     .arg(QLatin1String(name), text);
        return false;
    }
    return true;
}

}  // namespace

ListPreview::ListPreview(TListViewEx* list, SourceOf sourceOf)
    : QObject(list), list_(list), sourceOf_(std::move(sourceOf)) {
    QWidget* holder = list->parentWidget();
    // Inside the splitter the list is no longer the group's own: it keeps the group's caption.
    if (const auto* group = qobject_cast<QGroupBox*>(holder);
        group && list->accessibleName().isEmpty()) {
        list->setAccessibleName(group->title().remove(u'&').trimmed());
    }
    splitter_ = new QSplitter(Qt::Horizontal, holder);
    splitter_->setObjectName(QStringLiteral("splPreview"));
    splitter_->setChildrenCollapsible(false);
    delete holder->layout()->replaceWidget(list, splitter_);
    splitter_->addWidget(list);
    pane_ = new PreviewPane(splitter_);
    splitter_->addWidget(pane_);
    splitter_->setStretchFactor(0, 3);
    splitter_->setStretchFactor(1, 2);
    const QSettings state = WindowState();
    splitter_->restoreState(state.value(kSplitterKey).toByteArray());
    pane_->setVisible(state.value(kShowingKey, false).toBool());
    connect(splitter_, &QSplitter::splitterMoved, this, &ListPreview::Remember);
    follow_.setSingleShot(true);
    connect(&follow_, &QTimer::timeout, this, &ListPreview::Follow);
    list->installEventFilter(this);
    // The list's model is set once by its search list; its selection model with it.
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ListPreview::Moved);
    connect(list->model(), &QAbstractItemModel::modelReset, this, &ListPreview::Moved);
}

bool ListPreview::Showing() const {
    return !pane_->isHidden();
}

void ListPreview::SetShowing(bool showing) {
    pane_->setVisible(showing);
    Remember();
    if (showing) {
        shownRow_ = -1;
        Follow();
    } else {
        follow_.stop();
        pane_->Clear();
        shownRow_ = -1;
    }
}

void ListPreview::Remember() const {
    QSettings state = WindowState();
    state.setValue(kShowingKey, Showing());
    state.setValue(kSplitterKey, splitter_->saveState());
}

void ListPreview::Moved() {
    const bool rested = !lastFollow_.isValid() || lastFollow_.elapsed() > kRestMs;
    follow_.start(rested ? 0 : kFollowDelayMs);
}

void ListPreview::Follow() {
    if (!Showing()) {
        return;
    }
    lastFollow_.start();
    const QList<int> rows = list_->SelectedIndexes();
    const int row = rows.size() == 1 ? rows.constFirst() : -1;
    if (row == shownRow_) {
        return;
    }
    shownRow_ = row;
    if (row < 0) {
        pane_->Clear();
        return;
    }
    PreviewSource source;
    const QString refused = sourceOf_(row, &source);
    if (refused.isEmpty()) {
        pane_->Show(source);
    } else {
        pane_->Refuse(refused);
    }
}

bool ListPreview::eventFilter(QObject* watched, QEvent* event) {
    if (watched != list_ || event->type() != QEvent::KeyPress) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() != Qt::NoModifier) {
        return false;
    }
    if (key->key() == Qt::Key_Space && list_->currentIndex().isValid()) {
        SetShowing(!Showing());
        return true;
    }
    const int turn = key->key() == Qt::Key_PageDown ? 1 : key->key() == Qt::Key_PageUp ? -1 : 0;
    return turn != 0 && Showing() && pane_->TurnPage(turn);
}

QString RowPreview(db::TADOQuery& query, const RegistrationModel& model, int row,
                   const std::function<QString(const QString&)>& parameter,
                   const std::function<QString(TransferRequest*)>& settle, PreviewPane& pane,
                   PreviewSource* source) {
    int64_t maxMiB = 0;
    int64_t cacheMiB = 0;
    QString error;
    if (!ReadMiB(parameter(QStringLiteral("korvane_preview_max")), "korvane_preview_max",
                 PreviewPane::kDefaultMaxMiB, &maxMiB, &error) ||
        !ReadMiB(parameter(QStringLiteral("korvane_preview_cache")), "korvane_preview_cache",
                 PreviewCache::kDefaultBoundMiB, &cacheMiB, &error)) {
        return error;
    }
    pane.SetMaxMiB(maxMiB);
    PreviewCache cache = pane.Cache();
    cache.SetBound(cacheMiB * 1024 * 1024);
    pane.SetCache(cache);
    const QModelIndex at = model.index(row, RegistrationModel::kName);
    source->name = at.data(RegistrationModel::kRemoteNameRole).toString();
    source->who = model.Text(row, RegistrationModel::kOperator);
    source->when = at.data(RegistrationModel::kCreateDateRole).toString();
    try {
        const RowDownload plan = PlanRowDownload(query, source->name, source->when);
        source->remote = plan.remote;
        source->expected = plan.expected;
    } catch (const db::DbError& e) {
        return QString::fromUtf8(e.what()).trimmed();
    }
    return settle(&source->request);
}

}  // namespace korvane
