#include "TransferReports.h"

#include <QFileInfo>
#include <algorithm>

#include "TransferProgress.h"
#include "Translate.h"

namespace korvane {

QStringList UploadMessages(const TransferRequest& request, const TransferOutcome& outcome) {
    using Step = TransferOutcome::Step;
    if (outcome.Succeeded()) {
        return {Tr("korvane", "文件上传成功，数据保存成功！")};
    }
    QStringList messages{OutcomeMessage(request, outcome)};
    // Not stored, or stored and not put in place: either way the upload did not happen. A
    // failed registration or commit says so in its own words.
    const bool notStored = outcome.reached <= Step::Transfer || outcome.reached == Step::Publish;
    if (notStored && !outcome.cancelled) {
        messages << Tr("korvane", "文件上传失败！");
    }
    return messages;
}

QString DownloadedMessage(const PlannedDownload& download, const TransferOutcome& outcome) {
    if (outcome.alreadyThere) {
        return Tr("korvane", "本地已有与登记相同的文件[%1]，未重新下载。").arg(outcome.savedAs);
    }
    QString text = Tr("korvane", "下载成功！保存在[%1]，请查看！").arg(outcome.savedAs);
    if (outcome.savedAs != download.local) {
        text += Tr("korvane", "\n本地的[%1]是另一个文件，已保留。").arg(download.local);
    }
    if (download.plan.earlier) {
        text += Tr("korvane",
                   "\n该记录的文件之后被同名文件替换过，下载的是该记录当时的文件（第%1版），"
                   "文件名为[%2]。")
                    .arg(download.plan.version)
                    .arg(QFileInfo(outcome.savedAs).fileName());
    } else if (download.replacedRow && download.plan.version == 0) {
        text += Tr("korvane", "\n该记录的文件已被之后上传的同名文件替换，下载的是最新的文件。");
    }
    return text;
}

QString LocalConflictQuestion(const QString& folder, const QStringList& described) {
    return Tr("korvane",
              "文件夹[%1]中已有同名的文件，与要下载的文件不同：\n%2\n\n替换：用下载的文件替换"
              "它们；保留两者：下载的文件另存为“名称 (1).扩展名”；取消：不下载。")
        .arg(folder, described.join(u'\n'));
}

QString LocalFileLine(const QString& name, const LocalLook& look) {
    QStringList about;
    if (!look.plainFile) {
        about << Tr("korvane", "不是普通文件（可能是链接或文件夹）");
    } else {
        about << FormatBytes(static_cast<uint64_t>(look.size))
              << Tr("korvane", "%1修改")
                     .arg(look.modified.toString(QStringLiteral("yyyy-MM-dd hh:mm")));
    }
    if (look.readOnly) {
        about << Tr("korvane", "只读");
    }
    return u'[' + name + u']' + Tr("korvane", "（%1）").arg(about.join(Tr("korvane", "，")));
}

QString ReplaceQuestion(const QStringList& described, const QString& unreadable) {
    QString question =
        described.size() == 1
            ? Tr("korvane", "服务器上已有登记过的同名文件%1，上传将替换该文件。是否继续？")
                  .arg(described.first())
            : Tr("korvane", "服务器上已有登记过的同名文件：\n%1\n上传将替换这些文件。是否继续？")
                  .arg(described.join(u'\n'));
    if (!unreadable.isEmpty()) {
        // Without the registrations nobody can tell: ask rather than replace silently.
        question +=
            Tr("korvane", "\n（无法读取已登记的文件，不能确认是否同名：%1）").arg(unreadable);
    }
    return question;
}

QString StoredText(const db::StoredFile& file, const QString& operatorName) {
    return Tr("korvane", "%1，%2于%3上传")
        .arg(FormatBytes(static_cast<uint64_t>(file.size)), operatorName, file.storedAt);
}

QString OperatorName(const QString& itemText, int32_t operatorId) {
    QString name = itemText;
    if (name.startsWith(u'[') && name.contains(QStringLiteral("] "))) {
        name = name.section(QStringLiteral("] "), 1);
    }
    return name.isEmpty() ? QString::number(operatorId) : name;
}

int ClaimExpirySeconds(const store::Timeouts& timeouts) {
    return std::max(60, 2 * timeouts.writeMs / 1000);
}

bool ReportsEachJob(int batchSize, bool closing) {
    return !closing && batchSize == 1;
}

BatchEnd JudgeBatch(Direction direction, const QList<TransferQueue::Result>& batch) {
    using Result = TransferQueue::Result;
    BatchEnd end;
    // What the operator chose to skip is no failure.
    end.allSucceeded = std::all_of(batch.begin(), batch.end(),
                                   [](const Result& r) { return r.succeeded || r.skipped; });
    if (batch.size() > 1) {
        end.summary = TransferQueue::Summary(direction, batch);
    }
    if (direction == Direction::Upload) {
        end.clearInputs = end.allSucceeded;
        end.listAgain =
            std::any_of(batch.begin(), batch.end(), [](const Result& r) { return r.succeeded; });
    }
    return end;
}

QStringList SessionNotices::Untold(const QStringList& warnings) {
    QStringList untold;
    for (const QString& warning : warnings) {
        if (!told_.contains(warning)) {
            told_.insert(warning);
            untold << warning;
        }
    }
    return untold;
}

}  // namespace korvane
