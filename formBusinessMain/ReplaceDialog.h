#pragma once

#include <QDialog>

#include "ReplaceChoices.h"

class QCheckBox;
class QLabel;
class QTableWidget;

namespace korvane {

// The one question of an upload batch about its registered names, window-modal over the
// window it belongs to: a row per name with the server's file and the local one, the question
// about the first name still open, 替换 / 跳过 and "the same for the rest". The answer arrives
// as answered() once every name has one; 取消上传 (or closing it) rejects: nothing is uploaded.
class ReplaceDialog : public QDialog {
    Q_OBJECT
public:
    // Shown at once; the dialog deletes itself once answered or rejected.
    static ReplaceDialog* Ask(QWidget* window, ReplaceChoices choices);

signals:
    void answered(const korvane::ReplaceChoices& choices);

private:
    ReplaceDialog(QWidget* window, ReplaceChoices choices);
    void Answer(ReplaceChoices::Choice choice);
    void ShowChoices();

    ReplaceChoices choices_;
    QTableWidget* table_;
    QLabel* question_;
    QCheckBox* rest_;
};

}  // namespace korvane
