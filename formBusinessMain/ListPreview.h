#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

#include "PreviewPane.h"

class QSplitter;
class TListViewEx;

namespace korvane {

namespace db {
class TADOQuery;
}
class RegistrationModel;

// The preview pane beside the window's list, in a splitter: hidden until Space on a row first
// shows it, then following the selected row. Whether it shows and where the splitter sits are
// the operator's, remembered across sessions. PageUp and PageDown on the list turn its pages.
class ListPreview : public QObject {
    Q_OBJECT
public:
    // What a view row is to preview, or the reason it cannot be (a database or settings fault).
    using SourceOf = std::function<QString(int row, PreviewSource* source)>;
    // A selection that moves again within kRestMs of the last one shown (a held arrow key) is
    // followed once it has rested kFollowDelayMs; one after a rest at once.
    static constexpr int kFollowDelayMs = 120;
    static constexpr int kRestMs = 300;

    ListPreview(TListViewEx* list, SourceOf sourceOf);

    PreviewPane& Pane() { return *pane_; }
    bool Showing() const;
    void SetShowing(bool showing);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Moved();
    // Shows the selected row.
    void Follow();
    void Remember() const;

    TListViewEx* list_;
    QSplitter* splitter_;
    PreviewPane* pane_;
    SourceOf sourceOf_;
    QTimer follow_;
    QElapsedTimer lastFollow_;
    int shownRow_ = -1;
};

// What view row of model fetches and is checked against (its version's content for a row that
// a later upload replaced), with the site's settings and waits read through parameter now, and
// the pane's limits (korvane_preview_max, korvane_preview_cache in MiB) set on pane. The reason
// when it cannot be previewed.
QString RowPreview(db::TADOQuery& query, const RegistrationModel& model, int row,
                   const std::function<QString(const QString&)>& parameter,
                   const std::function<QString(TransferRequest*)>& settle, PreviewPane& pane,
                   PreviewSource* source);

}  // namespace korvane
