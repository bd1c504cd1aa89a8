#pragma once

#include <QDockWidget>
#include <QTimer>

class QPushButton;
class QTableWidget;

namespace telmaris {

// Every transfer of this session, running and ended: window, order, file, direction, progress,
// speed, time left, state and result; cancel, pause and resume for a running one, retry for a
// failed one, and the folder of a finished download.
class TransfersPanel : public QDockWidget {
    Q_OBJECT
public:
    enum Column { Window, Order, File, Direction, Progress, Speed, Left, State, Result, Columns };
    static constexpr int kRefreshMs = 500;

    explicit TransfersPanel(QWidget* parent = nullptr);

    QTableWidget* Table() const { return table_; }
    // The job of a row (its id in RunningJobs), 0 for none.
    int JobAt(int row) const;

public slots:
    // The selected job stops where it is, keeping what it did; or goes on from there.
    void PauseSelected();
    void ResumeSelected();

private:
    void Rebuild();
    void RefreshProgress();
    void UpdateButtons();
    int SelectedJob() const;
    void CancelSelected();
    void RetrySelected();
    void OpenFolderOfSelected();

    QTableWidget* table_;
    QPushButton* cancel_;
    QPushButton* pause_;
    QPushButton* resume_;
    QPushButton* retry_;
    QPushButton* openFolder_;
    QTimer refresh_;
};

}  // namespace telmaris
