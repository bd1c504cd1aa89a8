#pragma once

#include <QScrollArea>

// What an MDI sub-window holds instead of the form itself: the form keeps its fixed layout, fills
// a larger area and scrolls inside a smaller one. It carries the form's caption and passes the
// sub-window's close request to the form, whose close event decides.
class FormScroller : public QScrollArea {
    Q_OBJECT
public:
    explicit FormScroller(QWidget* form);

protected:
    void closeEvent(QCloseEvent* event) override;
};
