#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QComboBox;
class QLineEdit;
class QWidget;

namespace korvane {

class LocalNames;

// Local files dropped anywhere on a window are the files to upload: on the window and on each of
// its boxes, which would otherwise splice the files' addresses into their text. Text dropped on a
// box stays the box's. Nothing is taken while takes() says no (the window transfers).
class FileDrops : public QObject {
    Q_OBJECT
public:
    FileDrops(QWidget* window, LocalNames& names, std::function<bool()> takes);

signals:
    void dropped(const QStringList& files);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    LocalNames& names_;
    std::function<bool()> takes_;
};

// Tells the operator, in a hint at the box, when it kept less than was typed or pasted: at most
// its maximum length, under the name field.
void SayWhenCut(QLineEdit* box, const QString& field);

// A box's text without the blanks around it.
QString Trimmed(const QLineEdit* edit);
// The code of a combo box's "[code] text" item, as text ("0" for none).
QString CodeOf(const QComboBox* combo);
// Replaces a combo box's items without touching the text it shows (nothing gets selected).
void ReplaceItems(QComboBox* combo, const QStringList& items);

}  // namespace korvane
