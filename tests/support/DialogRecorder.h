#pragma once

#include <QList>
#include <QString>
#include <deque>

#include "DialogHook.h"

namespace korvane::test {

// Records every modal box the code under test asks for and answers it without blocking.
// Answers queued with Queue() are used in order; without one a box is accepted with no text.
class DialogRecorder {
public:
    DialogRecorder() {
        telmaris::SetDialogHook([this](const telmaris::DialogRequest& r) {
            requests.append(r);
            if (answers_.empty()) {
                return telmaris::DialogAnswer{};
            }
            telmaris::DialogAnswer a = answers_.front();
            answers_.pop_front();
            return a;
        });
    }
    ~DialogRecorder() { telmaris::SetDialogHook({}); }
    DialogRecorder(const DialogRecorder&) = delete;
    DialogRecorder& operator=(const DialogRecorder&) = delete;

    void Queue(bool accepted, const QString& text = QString()) {
        answers_.push_back({accepted, text});
    }
    // Answers the next box with its extra button of that index.
    void QueueButton(int button) { answers_.push_back({true, QString(), button}); }

    QStringList Texts() const {
        QStringList out;
        for (const auto& r : requests) {
            out << r.text;
        }
        return out;
    }

    QList<telmaris::DialogRequest> requests;

private:
    std::deque<telmaris::DialogAnswer> answers_;
};

}  // namespace korvane::test
