#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

#include "HostApi.h"

namespace telmaris {

// Every modal box that a business module shows goes through the host library. A hook, when set,
// receives the request instead of a real dialog and answers it at once, so tests and scripted
// runs never block on a person.
enum class DialogKind { GuiMessage, PlainMessage, OpenFile, Keyword, Confirm };

struct DialogRequest {
    DialogKind kind = DialogKind::GuiMessage;
    QString title;
    QString text;
    int style = 0;              // GuiMessage: 16 error, 64 information, 0 no icon
    QString filter;             // OpenFile: the file-type filter
    QString preset;             // OpenFile: the preset file-name pattern
    QString folder;             // OpenFile: where it starts, the folder of the last file chosen
    QPointer<QWidget> target;   // Keyword: the combo box
    QPointer<QWidget> owner;    // the window whose box it is (titled with its number); null
                                // for the host's own boxes
    bool waitBoxShown = false;  // whether a wait box was up when the box was asked for (it is
                                // hidden while the box is up: IsWaitBoxShown() is false then)
    QStringList buttons;        // buttons beside OK ("打开", ...)
};

struct DialogAnswer {
    bool accepted = true;  // OK / Yes; false is Cancel / No
    QString text;          // OpenFile: the chosen path; Keyword: the keyword
    int button = -1;       // the index of the button among DialogRequest::buttons; -1: OK
};

using DialogHook = std::function<DialogAnswer(const DialogRequest&)>;

// Installs a hook (an empty function restores the real dialogs).
TELMARIS_HOST_API void SetDialogHook(DialogHook hook);

// Answers through the hook when one is set; otherwise returns no value.
TELMARIS_HOST_API bool AnswerByHook(const DialogRequest& request, DialogAnswer& answer);

}  // namespace telmaris
