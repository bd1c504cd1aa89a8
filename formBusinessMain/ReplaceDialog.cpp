#include "ReplaceDialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "GuiServices.h"
#include "HostWindow.h"
#include "RegistrationReads.h"
#include "TransferReports.h"
#include "Translate.h"
#include "WindowBoxes.h"

namespace korvane {

namespace {
enum Column { Name, Existing, Incoming, Chosen, Columns };

QPushButton* Button(const QString& text, const char* name) {
    auto* button = new QPushButton(text);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}
}  // namespace

ReplaceDialog* ReplaceDialog::Ask(QWidget* window, ReplaceChoices choices) {
    auto* dialog = new ReplaceDialog(window, std::move(choices));
    // One of the window's boxes: over it, holding only it; the answer comes as a signal.
    telmaris::OpenWindowBox(window, dialog);
    return dialog;
}

ReplaceDialog::ReplaceDialog(QWidget* window, ReplaceChoices choices)
    : QDialog(window),
      choices_(std::move(choices)),
      table_(new QTableWidget(0, Columns)),
      question_(new QLabel),
      rest_(new QCheckBox(Tr("korvane", "其余同名文件都这样处理"))) {
    setObjectName(QStringLiteral("ReplaceDialog"));
    setWindowTitle(telmaris::NumberedTitle(Tr("korvane", "上传同名文件"), window));
    table_->setObjectName(QStringLiteral("replaceTable"));
    table_->setHorizontalHeaderLabels({Tr("korvane", "文件"), Tr("korvane", "服务器上的文件"),
                                       Tr("korvane", "要上传的文件"), Tr("korvane", "处理")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setFocusPolicy(Qt::NoFocus);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    question_->setObjectName(QStringLiteral("replaceQuestion"));
    question_->setWordWrap(true);
    rest_->setObjectName(QStringLiteral("replaceRest"));
    QPushButton* replace = Button(Tr("korvane", "替换"), "replaceButton");
    QPushButton* skip = Button(Tr("korvane", "跳过"), "skipButton");
    QPushButton* cancel = Button(Tr("korvane", "取消上传"), "cancelUpload");
    replace->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(rest_);
    buttons->addStretch();
    buttons->addWidget(replace);
    buttons->addWidget(skip);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(question_);
    layout->addLayout(buttons);
    connect(replace, &QPushButton::clicked, this,
            [this] { Answer(ReplaceChoices::Choice::Replace); });
    connect(skip, &QPushButton::clicked, this, [this] { Answer(ReplaceChoices::Choice::Skip); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    // Only the names the batch has are listed; the rest of the dialog's size is the question.
    table_->setRowCount(static_cast<int>(choices_.Conflicts().size()));
    ShowChoices();
    resize(720, sizeHint().height());
}

void ReplaceDialog::Answer(ReplaceChoices::Choice choice) {
    choices_.Answer(choice, rest_->isChecked());
    ShowChoices();
    if (choices_.Done()) {
        emit answered(choices_);
        accept();
    }
}

void ReplaceDialog::ShowChoices() {
    const int current = choices_.Current();
    for (int row = 0; row < table_->rowCount(); ++row) {
        const NameConflict& c = choices_.Conflicts()[row];
        const QStringList texts{c.name, c.existing, c.incoming,
                                ReplaceChoices::ChoiceText(choices_.ChoiceAt(row))};
        for (int column = 0; column < Columns; ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            QFont font = item->font();
            font.setBold(row == current);
            item->setFont(font);
            table_->setItem(row, column, item);
        }
    }
    if (current >= 0) {
        table_->scrollToItem(table_->item(current, Name));
    }
    question_->setText(choices_.Question());
}

void AskBeforeReplacing(QWidget* window, db::TADOQuery& query, const QStringList& remotes,
                        const QStringList& locals,
                        const std::function<QString(int32_t)>& operatorName, const QString& title,
                        std::function<void(const ReplaceChoices&)> start) {
    RegistrationReads reads(query);
    const auto registered = reads.RegisteredAmong(remotes);
    if (registered.names.isEmpty()) {
        start(ReplaceChoices());
        return;
    }
    if (!registered.unreadable.isEmpty()) {
        // Nobody can tell which names are taken: the whole batch, or nothing of it.
        QStringList described;
        for (const QString& name : registered.names) {
            described << u'[' + name + u']';
        }
        if (AskYesNo(ReplaceQuestion(described, registered.unreadable), title)) {
            start(ReplaceChoices());
        }
        return;
    }
    auto* dialog = ReplaceDialog::Ask(
        window, ReplaceChoices(reads.Conflicts(registered.names, remotes, locals, operatorName)));
    QObject::connect(dialog, &ReplaceDialog::answered, window, std::move(start));
}

}  // namespace korvane
