#include "ReplaceChoices.h"

#include <QFileInfo>

#include "SqlDialect.h"
#include "TransferProgress.h"
#include "TransferReports.h"
#include "Translate.h"

namespace korvane {

NameConflict DescribeConflict(const QString& name, const std::optional<db::StoredFile>& stored,
                              const QString& operatorName, const QString& localPath) {
    NameConflict c;
    c.name = name;
    c.existing =
        stored ? StoredText(*stored, operatorName) : Tr("korvane", "已登记，大小和上传者没有记录");
    const QFileInfo local(localPath);
    c.incoming = Tr("korvane", "%1，修改于%2")
                     .arg(FormatBytes(static_cast<uint64_t>(local.size())),
                          local.lastModified().toString(QLatin1String(db::kDateTimeFormat)));
    return c;
}

ReplaceChoices::ReplaceChoices(QList<NameConflict> conflicts)
    : conflicts_(std::move(conflicts)), choices_(conflicts_.size(), Choice::Open) {}

int ReplaceChoices::Current() const {
    return static_cast<int>(choices_.indexOf(Choice::Open));
}

void ReplaceChoices::Answer(Choice choice, bool rest) {
    for (int i = Current(); i >= 0 && i < choices_.size(); ++i) {
        if (choices_[i] == Choice::Open) {
            choices_[i] = choice;
            if (!rest) {
                return;
            }
        }
    }
}

QStringList ReplaceChoices::Skipped() const {
    QStringList names;
    for (int i = 0; i < conflicts_.size(); ++i) {
        if (choices_[i] == Choice::Skip) {
            names << conflicts_[i].name;
        }
    }
    return names;
}

QString ReplaceChoices::ReplacedNote(const QString& name) const {
    for (int i = 0; i < conflicts_.size(); ++i) {
        if (conflicts_[i].name == name && choices_[i] == Choice::Replace) {
            return Tr("korvane", "（替换了原文件：%1）").arg(conflicts_[i].existing);
        }
    }
    return QString();
}

QString ReplaceChoices::Question() const {
    const int i = Current();
    if (i < 0) {
        return QString();
    }
    const NameConflict& c = conflicts_[i];
    return Tr("korvane",
              "服务器上已有登记过的同名文件[%1]（%2）。\n要用本地文件（%"
              "3）替换它，还是跳过这个文件？")
        .arg(c.name, c.existing, c.incoming);
}

QString ReplaceChoices::ChoiceText(Choice choice) {
    switch (choice) {
        case Choice::Replace:
            return Tr("korvane", "替换");
        case Choice::Skip:
            return Tr("korvane", "跳过");
        case Choice::Open:
            break;
    }
    return Tr("korvane", "待定");
}

}  // namespace korvane
