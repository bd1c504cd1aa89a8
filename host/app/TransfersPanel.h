#pragma once

#include <QDockWidget>
#include <QTimer>

class QAction;
class QMenu;
class QPushButton;
class QTableWidget;

namespace telmaris {

// Every transfer of this session as a queue, running and ended: window, order, file, direction,
// progress, start, time taken, current and average speed, time left, attempts, state and
// result; one row per job, whose retries count as its attempts. Cancel (Delete), pause and
// resume for a running one, retry for a failed one, open (Enter) and its folder for a finished
// download, and taking an ended one off the list; the same in the rows' context menu. Below
// them, greyed, the operator's transfers of earlier sessions that a module read from its
// history: when, which way, how much and how they ended, and nothing to act on but taking them
// off the list.
class TransfersPanel : public QDockWidget {
    Q_OBJECT
public:
    enum Column {
        Window,
        Order,
        File,
        Direction,
        State,  // before the figures: the host's default width shows it
        Progress,
        Started,
        Elapsed,
        Current,
        Speed,
        Left,
        Attempts,
        Result,
        Columns
    };
    static constexpr int kRefreshMs = 500;

    explicit TransfersPanel(QWidget* parent = nullptr);

    QTableWidget* Table() const { return table_; }
    // The job of a row (its id in RunningJobs), 0 for none.
    int JobAt(int row) const;
    // The context menu of the rows (its actions follow the selection).
    QMenu* Menu() const { return menu_; }

public slots:
    // The selected job stops where it is, keeping what it did; or goes on from there.
    void PauseSelected();
    void ResumeSelected();

private:
    void Rebuild();
    void RefreshProgress();
    void UpdateActions();
    int SelectedJob() const;
    void CancelSelected();
    void RetrySelected();
    void OpenSelected();
    void OpenFolderOfSelected();
    // Shows why a file could not be opened; nothing when it was.
    void Tell(const QString& why);
    void ForgetSelected();
    void PopUpMenu(const QPoint& at);
    QAction* AddAction(const QString& text, const QKeySequence& key, void (TransfersPanel::*run)());

    QTableWidget* table_;
    QMenu* menu_;
    QAction* cancel_;
    QAction* pause_;
    QAction* resume_;
    QAction* retry_;
    QAction* open_;
    QAction* openFolder_;
    QAction* forget_;
    QTimer refresh_;
};

}  // namespace telmaris
