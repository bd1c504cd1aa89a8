#include "GuiServices.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>
#include <QTableView>
#include <QTranslator>
#include <QVBoxLayout>
#include <cstdlib>
#include <limits>

#include "DialogHook.h"
#include "HostWindow.h"
#include "Translate.h"
#include "WindowBoxes.h"

using korvane::Tr;

namespace telmaris {

namespace {
DialogHook& Hook() {
    static DialogHook hook;
    return hook;
}

QPointer<QWidget>& WaitBox() {
    static QPointer<QWidget> box;
    return box;
}

QWidget* ActiveParent() {
    return QApplication::activeWindow();
}

QMessageBox::Icon IconForStyle(int style) {
    switch (style & 0xF0) {
        case MB_ICONERROR:
            return QMessageBox::Critical;
        case MB_ICONINFORMATION:
            return QMessageBox::Information;
        case 48:
            return QMessageBox::Warning;
        case 32:
            return QMessageBox::Question;
        default:
            return QMessageBox::NoIcon;
    }
}

// A box of the window whose code runs opens over it and returns at once; any other is modal.
void ShowBox(const QString& title, const QString& text, QMessageBox::Icon icon) {
    if (QWidget* owner = BoxOwner::Current()) {
        OpenWindowBox(owner, new QMessageBox(icon, title, text, QMessageBox::Ok));
        return;
    }
    QMessageBox box(icon, title, text, QMessageBox::Ok, ActiveParent());
    box.exec();
}

// The wait box stays on top of every window, a modal box included, which then looks like a hung
// window behind it: it is hidden while any box is up and shown again afterwards, if it still
// exists then.
class WaitBoxLowered {
public:
    WaitBoxLowered() : box_(WaitBox()) {
        if (!box_.isNull() && box_->isVisible()) {
            box_->hide();
            hidden_ = true;
        }
    }
    ~WaitBoxLowered() {
        if (hidden_ && !box_.isNull()) {
            box_->show();
        }
    }
    WaitBoxLowered(const WaitBoxLowered&) = delete;
    WaitBoxLowered& operator=(const WaitBoxLowered&) = delete;

private:
    QPointer<QWidget> box_;
    bool hidden_ = false;
};

DialogRequest MakeRequest(DialogKind kind, const QString& title, const QString& text) {
    DialogRequest r;
    r.kind = kind;
    r.owner = BoxOwner::Current();
    r.title = NumberedTitle(title, r.owner);
    r.text = text;
    r.waitBoxShown = IsWaitBoxShown();
    return r;
}

// Asks the keyword dialog; returns false when cancelled.
bool AskKeyword(QComboBox* comboBox, QString& keyword) {
    QDialog dialog(comboBox ? comboBox->window() : nullptr);
    dialog.setWindowTitle(Tr("telmaris", "关键字查找"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(Tr("telmaris", "请输入关键字:"), &dialog));
    auto* edit = new QLineEdit(&dialog);
    edit->setObjectName(QStringLiteral("edKeyword"));
    layout->addWidget(edit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    keyword = edit->text();
    return true;
}
}  // namespace

void SetDialogHook(DialogHook hook) {
    Hook() = std::move(hook);
}

bool AnswerByHook(const DialogRequest& request, DialogAnswer& answer) {
    if (!Hook()) {
        return false;
    }
    answer = Hook()(request);
    return true;
}

}  // namespace telmaris

using telmaris::AnswerByHook;
using telmaris::DialogAnswer;
using telmaris::DialogKind;
using telmaris::DialogRequest;

void ShowGUIMessage(const QString& text, const QString& title, int style) {
    DialogRequest r = telmaris::MakeRequest(DialogKind::GuiMessage, title, text);
    r.style = style;
    const telmaris::WaitBoxLowered lowered;
    DialogAnswer a;
    if (!AnswerByHook(r, a)) {
        telmaris::ShowBox(r.title, text, telmaris::IconForStyle(style));
    }
}

void ShowMessage(const QString& text) {
    const QString title = QApplication::applicationDisplayName();
    const DialogRequest r = telmaris::MakeRequest(DialogKind::PlainMessage, title, text);
    const telmaris::WaitBoxLowered lowered;
    DialogAnswer a;
    if (!AnswerByHook(r, a)) {
        telmaris::ShowBox(r.title, text, QMessageBox::NoIcon);
    }
}

void ShowException(const QString& text) {
    ShowGUIMessage(text, QApplication::applicationDisplayName(), MB_ICONERROR);
}

bool AskYesNo(const QString& text, const QString& title) {
    const DialogRequest r = telmaris::MakeRequest(DialogKind::Confirm, title, text);
    const telmaris::WaitBoxLowered lowered;
    DialogAnswer a;
    if (AnswerByHook(r, a)) {
        return a.accepted;
    }
    QMessageBox box(QMessageBox::Question, r.title, text, QMessageBox::Yes | QMessageBox::No,
                    r.owner ? r.owner.data() : telmaris::ActiveParent());
    if (r.owner) {
        box.setWindowModality(Qt::WindowModal);
    }
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void telmaris::AskInWindow(QWidget* owner, const QString& text, const QString& title,
                           std::function<void(bool)> answered) {
    const BoxOwner scope(owner);
    const DialogRequest r = MakeRequest(DialogKind::Confirm, title, text);
    DialogAnswer a;
    if (AnswerByHook(r, a)) {
        answered(a.accepted);
        return;
    }
    auto* box =
        new QMessageBox(QMessageBox::Question, r.title, text, QMessageBox::Yes | QMessageBox::No);
    box->setDefaultButton(QMessageBox::No);
    QObject::connect(box, &QDialog::finished, box, [answered = std::move(answered)](int result) {
        answered(result == QMessageBox::Yes);
    });
    OpenWindowBox(owner, box);
}

namespace {
// The operator's own record of where files were last chosen, kept in their state folder.
QSettings DialogState() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty()) {
        state = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return QSettings(state + QStringLiteral("/telmaris/dialogs.ini"), QSettings::IniFormat);
}
const QString kLastFolderKey = QStringLiteral("OpenFile/LastFolder");

// The folder of the last file chosen, while it exists; else the operator's home.
QString StartFolder() {
    const QString last = DialogState().value(kLastFolderKey).toString();
    return !last.isEmpty() && QFileInfo(last).isDir() ? last : QDir::homePath();
}

void RememberFolderOf(const QStringList& chosen) {
    if (!chosen.isEmpty()) {
        QSettings state = DialogState();
        state.setValue(kLastFolderKey, QFileInfo(chosen.constFirst()).absolutePath());
    }
}

// The file-open dialog, asked through the hook first: the chosen paths.
QStringList ChooseFiles(QWidget* parent, const QString& filter, const QString& preset,
                        bool several) {
    DialogRequest r = telmaris::MakeRequest(DialogKind::OpenFile, QString(), QString());
    r.filter = filter;
    r.preset = preset;
    r.folder = StartFolder();
    const telmaris::WaitBoxLowered lowered;
    DialogAnswer a;
    if (AnswerByHook(r, a)) {
        const QStringList chosen =
            a.accepted ? a.text.split(u'\n', Qt::SkipEmptyParts) : QStringList();
        RememberFolderOf(chosen);
        return chosen;
    }
    // "desc|pattern|desc|pattern" becomes Qt's "desc (pattern)" list.
    const QStringList parts = filter.split(u'|');
    QStringList qtFilters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        qtFilters << QStringLiteral("%1 (%2)").arg(parts[i], parts[i + 1]);
    }
    QFileDialog dialog(parent, Tr("telmaris", "打开"));
    dialog.setFileMode(several ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setNameFilters(qtFilters);
    dialog.setDirectory(r.folder);
    dialog.selectFile(preset);
    if (dialog.exec() != QDialog::Accepted) {
        return QStringList();
    }
    RememberFolderOf(dialog.selectedFiles());
    return dialog.selectedFiles();
}
}  // namespace

QString ChooseOpenFile(QWidget* parent, const QString& filter, const QString& preset) {
    return ChooseFiles(parent, filter, preset, false).value(0);
}

QStringList ChooseOpenFiles(QWidget* parent, const QString& filter, const QString& preset) {
    return ChooseFiles(parent, filter, preset, true);
}

void ShowWaitBox(const QString& text) {
    QPointer<QWidget>& box = telmaris::WaitBox();
    if (box.isNull()) {
        box = new QWidget(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                                       Qt::WindowTitleHint);
        box->setObjectName(QStringLiteral("TelmarisWaitBox"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowTitle(Tr("telmaris", "请稍候"));
        auto* layout = new QVBoxLayout(box);
        auto* label = new QLabel(box);
        label->setObjectName(QStringLiteral("lbWaitText"));
        label->setMargin(16);
        layout->addWidget(label);
    }
    box->findChild<QLabel*>(QStringLiteral("lbWaitText"))->setText(text);
    box->adjustSize();
    box->show();
    box->raise();
    box->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void CloseWaitBox() {
    QPointer<QWidget>& box = telmaris::WaitBox();
    if (!box.isNull()) {
        delete box.data();
        box = nullptr;
    }
}

bool IsWaitBoxShown() {
    const QPointer<QWidget>& box = telmaris::WaitBox();
    return !box.isNull() && box->isVisible();
}

int SelectByKeyword(QComboBox* comboBox, const QString& keyword) {
    if (comboBox == nullptr) {
        return -1;
    }
    for (int i = 0; i < comboBox->count(); ++i) {
        if (comboBox->itemText(i).contains(keyword, Qt::CaseInsensitive)) {
            comboBox->setCurrentIndex(i);
            return i;
        }
    }
    return -1;
}

void InputKeywordForm(QComboBox* comboBox) {
    if (comboBox == nullptr) {
        return;
    }
    DialogRequest r =
        telmaris::MakeRequest(DialogKind::Keyword, Tr("telmaris", "关键字查找"), QString());
    r.target = comboBox;
    const telmaris::WaitBoxLowered lowered;
    DialogAnswer a;
    QString keyword;
    bool accepted = false;
    if (AnswerByHook(r, a)) {
        accepted = a.accepted;
        keyword = a.text;
    } else {
        accepted = telmaris::AskKeyword(comboBox, keyword);
    }
    if (accepted && !keyword.isEmpty()) {
        SelectByKeyword(comboBox, keyword);
    }
}

namespace {
// The calendar's own size hint gives each of its seven rows (day names and six weeks) less than
// a line of its font, so the last week is cut off; give every row a line and some air.
void FitCalendar(QCalendarWidget* calendar) {
    auto* grid = calendar ? calendar->findChild<QTableView*>() : nullptr;
    auto* bar = calendar
                    ? calendar->findChild<QWidget*>(QStringLiteral("qt_calendar_navigationbar"))
                    : nullptr;
    if (grid == nullptr || bar == nullptr) {
        return;
    }
    constexpr int kRows = 7;
    const int row = grid->fontMetrics().height() + 6;
    calendar->setMinimumHeight(bar->sizeHint().height() + kRows * row + 2 * grid->frameWidth());
}
}  // namespace

namespace {
// What a caption says without its mnemonic marker.
QString CaptionText(const QWidget* w) {
    QString text;
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        text = label->text();
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
        text = button->text();
    }
    return text.remove(u'&').trimmed();
}

// The caption that names an input box: its label's buddy, else the nearest label or check box
// on its left on the same line, else the title of a group box that holds nothing else to type.
QString CaptionOf(QWidget* input) {
    QWidget* parent = input->parentWidget();
    if (parent == nullptr) {
        return QString();
    }
    const QRect box = input->geometry();
    QWidget* best = nullptr;
    int bestGap = std::numeric_limits<int>::max();
    for (QWidget* sibling : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const auto* label = qobject_cast<QLabel*>(sibling);
        if (label != nullptr && label->buddy() == input) {
            return CaptionText(label);
        }
        const bool caption = label != nullptr || qobject_cast<QCheckBox*>(sibling) != nullptr;
        const QRect r = sibling->geometry();
        const int gap = box.left() - r.right();
        const bool sameLine = std::abs(r.center().y() - box.center().y()) <= box.height() / 2 + 2;
        if (caption && sameLine && gap >= 0 && gap < bestGap && !CaptionText(sibling).isEmpty()) {
            best = sibling;
            bestGap = gap;
        }
    }
    if (best != nullptr) {
        return CaptionText(best);
    }
    if (const auto* group = qobject_cast<QGroupBox*>(parent)) {
        return group->title().remove(u'&').trimmed();
    }
    return QString();
}

bool IsInput(const QWidget* w) {
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QAbstractItemView*>(w);
}
}  // namespace

void NameControls(QWidget* form) {
    for (QWidget* w : form->findChildren<QWidget*>()) {
        // An editable combo box's own line edit is the combo box to a screen reader.
        if (!IsInput(w) || !w->accessibleName().isEmpty() ||
            qobject_cast<QComboBox*>(w->parentWidget()) ||
            qobject_cast<QAbstractSpinBox*>(w->parentWidget())) {
            continue;
        }
        const QString name = CaptionOf(w);
        if (!name.isEmpty()) {
            w->setAccessibleName(name);
        }
    }
}

void MakeInit(QWidget* form) {
    if (form == nullptr) {
        return;
    }
    form->setAutoFillBackground(true);
    NameControls(form);
    const auto widgets = form->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        if (!w->property("Tag").isValid()) {
            w->setProperty("Tag", 0);
        }
    }
    if (!form->property("Tag").isValid()) {
        form->setProperty("Tag", 0);
    }
}

void SetGUIStyle(QWidget* form) {
    if (form == nullptr) {
        return;
    }
    static QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    if (fusion == nullptr) {
        return;
    }
    form->setStyle(fusion);
    const auto widgets = form->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        w->setStyle(fusion);
        if (qobject_cast<QAbstractButton*>(w) != nullptr) {
            w->setCursor(Qt::PointingHandCursor);
        }
        if (auto* picker = qobject_cast<QDateTimeEdit*>(w); picker && picker->calendarPopup()) {
            FitCalendar(picker->calendarWidget());
        }
    }
}

namespace {
QTranslator& QtTranslations() {
    static QTranslator translator;
    return translator;
}
QTranslator& SystemTranslations() {
    static QTranslator translator;
    return translator;
}
}  // namespace

bool InstallChineseLanguage() {
    return InstallLanguage(QString::fromLatin1(kLanguageChinese));
}

QString ChooseLanguage(const QString& option, const QString& configured, const QLocale& system,
                       QString* rejected) {
    for (const QString& choice : {option.trimmed(), configured.trimmed()}) {
        if (choice.isEmpty()) {
            continue;
        }
        if (choice.compare(QLatin1String(kLanguageChinese), Qt::CaseInsensitive) == 0 ||
            choice.compare(QLatin1String("zh"), Qt::CaseInsensitive) == 0) {
            return QString::fromLatin1(kLanguageChinese);
        }
        if (choice.compare(QLatin1String(kLanguageEnglish), Qt::CaseInsensitive) == 0) {
            return QString::fromLatin1(kLanguageEnglish);
        }
        if (rejected != nullptr && rejected->isEmpty()) {
            *rejected = choice;
        }
    }
    return QString::fromLatin1(system.language() == QLocale::Chinese ? kLanguageChinese
                                                                     : kLanguageEnglish);
}

bool InstallLanguage(const QString& language) {
    QCoreApplication::removeTranslator(&QtTranslations());
    QCoreApplication::removeTranslator(&SystemTranslations());
    if (language.isEmpty()) {
        QLocale::setDefault(QLocale::c());
        return true;
    }
    if (language != QLatin1String(kLanguageChinese)) {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        // The source texts are Chinese: English needs every one of them translated.
        if (!SystemTranslations().load(QStringLiteral(":/i18n/korvane_en.qm"))) {
            return false;
        }
        QCoreApplication::installTranslator(&SystemTranslations());
        return true;
    }
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    if (!QtTranslations().load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                               QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    QCoreApplication::installTranslator(&QtTranslations());
    return true;
}
