#pragma once

#include <QString>
#include <QStringList>

#include "HostApi.h"

class QComboBox;
class QLocale;
class QWidget;

// Message-box styles of ShowGUIMessage.
enum : int { MB_NOICON = 0, MB_ICONERROR = 16, MB_ICONINFORMATION = 64 };

// A modal message box with the given title; style selects the icon (16, 64 or 0).
TELMARIS_HOST_API void ShowGUIMessage(const QString& text, const QString& title, int style);

// The framework's plain message dialog: the application title as caption, OK, no icon.
TELMARIS_HOST_API void ShowMessage(const QString& text);

// An error that left an event handler: one error box titled with the application's name.
TELMARIS_HOST_API void ShowException(const QString& text);

// A yes/no question; true when the operator answers yes.
TELMARIS_HOST_API bool AskYesNo(const QString& text, const QString& title);

// The file-open dialog. filter uses the "description|pattern|..." form; preset is the initial
// file-name pattern. Returns the chosen file's full path, or an empty text when cancelled.
TELMARIS_HOST_API QString ChooseOpenFile(QWidget* parent, const QString& filter,
                                         const QString& preset);
// The same dialog where several files may be chosen: their full paths, none when cancelled. A
// hook answers with the paths on lines of their own.
TELMARIS_HOST_API QStringList ChooseOpenFiles(QWidget* parent, const QString& filter,
                                              const QString& preset);

// A modeless wait box, shown and painted before the call returns. Showing it again replaces the
// text; CloseWaitBox removes it (and does nothing when none is shown). It stays on top of every
// window, so each of the boxes above hides it while the box is up and shows it again after.
TELMARIS_HOST_API void ShowWaitBox(const QString& text);
TELMARIS_HOST_API void CloseWaitBox();
TELMARIS_HOST_API bool IsWaitBoxShown();

// The keyword search for a combo box: the operator types a keyword and the first item whose
// text contains it, ignoring case, becomes the current item.
TELMARIS_HOST_API void InputKeywordForm(QComboBox* comboBox);
// The selection step of InputKeywordForm; returns the chosen index or -1 (nothing changes).
TELMARIS_HOST_API int SelectByKeyword(QComboBox* comboBox, const QString& keyword);

// Common initialisation of a form's control tree, once when the form is loaded: every widget
// gets the "Tag" property (0) unless it already has one, every input box its accessible name
// (NameControls), and the form fills its background with its palette's window colour so the
// family colour shows.
TELMARIS_HOST_API void MakeInit(QWidget* form);
// Gives every input box of form (edit, combo box, date picker, list) that has no accessible name
// the text of its caption, for screen readers: its label's buddy, else the label or check box on
// its left on the same line, else its group box's title. MakeInit does it.
TELMARIS_HOST_API void NameControls(QWidget* form);

// The family's common look, applied last when a form is loaded: the Fusion style for the form
// and every widget in it, and the pointing-hand cursor on push buttons.
// Date pickers get a calendar popup that shows whole weeks.
TELMARIS_HOST_API void SetGUIStyle(QWidget* form);

// The language of the system's texts: Chinese as the default locale (calendars, dates) and Qt's
// own Chinese translations (standard buttons). False when the translations are missing.
TELMARIS_HOST_API bool InstallChineseLanguage();

// The languages of the system's texts: the Chinese source texts, and English.
inline const char* const kLanguageChinese = "zh_CN";
inline const char* const kLanguageEnglish = "en";
// The language to use: the command line's choice, else the configuration's ([Session]
// Language), else the system locale's (Chinese for any Chinese locale, else English). A choice
// that is neither language is passed over (*rejected names it).
TELMARIS_HOST_API QString ChooseLanguage(const QString& option, const QString& configured,
                                         const QLocale& system, QString* rejected = nullptr);
// Installs a language on the application: zh_CN as InstallChineseLanguage, en the English
// translation of every text of the system (built into this library). Replaces the language
// installed before; an empty language leaves the source texts without any translation and the C
// locale. False when a translation is missing.
TELMARIS_HOST_API bool InstallLanguage(const QString& language);
