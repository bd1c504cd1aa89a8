#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "FileRecord.h"

namespace korvane {

// One file of an upload batch whose name is registered already: what the record says the
// server holds under the name, and the local file that would take its place.
struct NameConflict {
    QString name;      // the remote name
    QString existing;  // "5 B，张三于2026-12-09 10:32:00上传"
    QString incoming;  // "6 B，修改于2026-12-10 09:00:00"
};

// The conflict of name as the record (when it knows the file) and the local file describe it.
NameConflict DescribeConflict(const QString& name, const std::optional<db::StoredFile>& stored,
                              const QString& operatorName, const QString& localPath);

// The one question of an upload batch about its registered names: each is replaced or
// skipped, one after another in the batch's order, and an answer may be taken for the rest.
class ReplaceChoices {
public:
    enum class Choice { Open, Replace, Skip };

    explicit ReplaceChoices(QList<NameConflict> conflicts = {});

    const QList<NameConflict>& Conflicts() const { return conflicts_; }
    Choice ChoiceAt(int i) const { return choices_.at(i); }
    // The first conflict not answered yet; -1 once every one is.
    int Current() const;
    bool Done() const { return Current() < 0; }
    // Answers the current conflict, and with rest every one still open after it.
    void Answer(Choice choice, bool rest);

    // The names to leave as they are on the server.
    QStringList Skipped() const;
    // What the summary says beside name once its upload replaced the registered file; empty
    // for a name that replaced nothing.
    QString ReplacedNote(const QString& name) const;
    // The question about the current conflict.
    QString Question() const;
    static QString ChoiceText(Choice choice);

private:
    QList<NameConflict> conflicts_;
    QList<Choice> choices_;
};

}  // namespace korvane
