#include "Registration.h"

#include <QDateTime>
#include <QLoggingCategory>
#include <QSysInfo>
#include <algorithm>
#include <exception>

#include "FileRecord.h"
#include "IntentLog.h"
#include "SqlDialect.h"
#include "SqlScript.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "Translate.h"

using korvane::Tr;

Q_LOGGING_CATEGORY(lcRegistration, "korvane.db")

namespace korvane {

namespace {
// Stored directly, the new file already replaced the one under its name: nothing undoes that.
QString Unsaved(const Registration::Upload& upload, const QString& reason) {
    return (upload.viaTemporary
                ? Tr("korvane", "数据保存失败，上传已撤销，服务器上的文件未改变！")
                : Tr("korvane",
                     "数据保存失败，该文件未登记！文件已直接上传（korvane_ftp_upload="
                     "direct），服务器上的[%1]已是新上传的文件。")
                      .arg(upload.remote)) +
           (reason.isEmpty() ? QString() : u'\n' + reason);
}

}  // namespace

Registration::Registration(db::TADOConnection& connection, db::TADOQuery& query, Upload upload)
    : connection_(connection),
      query_(query),
      upload_(std::move(upload)),
      token_(db::FileRecord::NewToken()) {}

Registration::~Registration() {
    Rollback();
    Release();
}

QString Registration::HostName() {
    return QSysInfo::machineHostName();
}

QString Registration::Claim(const std::function<QString(int32_t)>& operatorName) {
    db::UploadClaim holder;
    try {
        // The database's clock: the hosts of a site need not agree on the time.
        const int64_t now = db::DatabaseNow(query_);
        const db::UploadClaim mine{token_, upload_.operatorId, HostName(), now, now};
        db::FileRecord record(query_);
        switch (record.Claim(upload_.remote, mine, upload_.expireSeconds, &holder)) {
            case db::FileRecord::ClaimResult::Claimed:
                claimed_ = true;
                return QString();
            case db::FileRecord::ClaimResult::Unavailable:
                return QString();
            case db::FileRecord::ClaimResult::Busy:
                break;
        }
    } catch (const std::exception& e) {
        return Tr("korvane", "无法确认是否有人正在上传同名文件[%1]，请稍后再试。\n%2")
            .arg(upload_.remote, QString::fromUtf8(e.what()).trimmed());
    }
    return Tr("korvane", "[%1]正在上传同名文件[%2]（开始于%3），请稍后再试。")
        .arg(operatorName(holder.opId), upload_.remote,
             QDateTime::fromSecsSinceEpoch(holder.sinceEpoch).toString(QStringLiteral("HH:mm")));
}

void Registration::KeepAlive() {
    if (!claimed_ || open_) {
        return;
    }
    try {
        db::FileRecord(query_).Touch(upload_.remote, token_, db::DatabaseNow(query_));
    } catch (const std::exception& e) {
        // The claim then expires on its own; the upload itself goes on.
        qCWarning(lcRegistration) << "claim of" << upload_.remote << "not renewed:" << e.what();
    }
}

QString Registration::Register(const store::StoredCopy& copy) {
    try {
        connection_.BeginTransaction();
        open_ = true;
    } catch (const std::exception& e) {
        return Unsaved(upload_, QString::fromUtf8(e.what()).trimmed());
    }
    try {
        db::ExecStatement(query_, upload_.insert);
        db::StoredFile file;
        file.name = upload_.remote;
        file.size = static_cast<int64_t>(copy.size);
        file.sha256 = copy.sha256;
        file.opId = upload_.operatorId;
        file.host = HostName();
        db::FileRecord(query_).Record(file, token_);
    } catch (const std::exception& e) {
        return Unsaved(upload_, QString::fromUtf8(e.what()).trimmed());
    }
    return QString();
}

QString Registration::Commit() {
    open_ = false;
    try {
        connection_.Commit();
        claimed_ = false;  // the record dropped the claim with the commit
        return QString();
    } catch (const std::exception& e) {
        connection_.Rollback();
        return Tr("korvane", "文件已上传，但数据保存失败，该文件未登记！请联系系统管理员。\n") +
               QString::fromUtf8(e.what()).trimmed();
    }
}

void Registration::Rollback() {
    if (open_) {
        open_ = false;
        try {
            connection_.Rollback();
        } catch (const std::exception& e) {
            qCWarning(lcRegistration) << "rollback failed:" << e.what();
        }
    }
}

void Registration::Release() {
    if (!claimed_) {
        return;
    }
    claimed_ = false;
    try {
        db::FileRecord(query_).Release(upload_.remote, token_);
    } catch (const std::exception& e) {
        // Left behind, the claim expires on its own.
        qCWarning(lcRegistration) << "claim of" << upload_.remote << "not released:" << e.what();
    }
}

// The journal -------------------------------------------------------------------------------

bool Registration::Journaled() {
    try {
        return claimed_ && db::IntentLog(query_).Available();
    } catch (const std::exception& e) {
        qCWarning(lcRegistration) << "no journal:" << e.what();
        return false;
    }
}

QList<db::Intent> Registration::Intents(bool ownOnly) {
    QList<db::Intent> open = db::IntentLog(query_).Open(upload_.remote);
    open.removeIf(
        [this, ownOnly](const db::Intent& i) { return own_.contains(i.token) != ownOnly; });
    return open;
}

QString Registration::Resumable(uint64_t localSize) {
    try {
        const QList<db::Intent> open = db::IntentLog(query_).Open(upload_.remote);
        for (auto i = open.crbegin(); i != open.crend(); ++i) {
            if (i->phase == db::Intent::Phase::Held && i->opId == upload_.operatorId &&
                i->host == HostName() && i->tempSize == static_cast<int64_t>(localSize) &&
                !i->temp.isEmpty()) {
                intent_ = *i;
                adopted_ = true;
                own_ << i->token;
                return i->temp;
            }
        }
    } catch (const std::exception& e) {
        // Then nothing is continued: the upload starts from the beginning.
        qCWarning(lcRegistration) << "held uploads of" << upload_.remote << "unread:" << e.what();
    }
    return QString();
}

bool Registration::Hold(uint64_t localSize) {
    if (intent_.token.isEmpty() || intent_.phase != db::Intent::Phase::Put) {
        return false;
    }
    db::Intent held = intent_;
    held.phase = db::Intent::Phase::Held;
    held.tempSize = static_cast<int64_t>(localSize);
    try {
        held.created = db::DatabaseNow(query_);
        db::IntentLog(query_).Update(held);
    } catch (const std::exception& e) {
        qCWarning(lcRegistration) << "upload of" << upload_.remote << "not held:" << e.what();
        return false;
    }
    intent_ = held;
    own_.removeAll(held.token);  // no longer this upload's to undo
    return true;
}

void Registration::Settled(const QStringList& tokens) {
    for (const QString& token : tokens) {
        try {
            db::IntentLog(query_).Clear(token);
            own_.removeAll(token);
        } catch (const std::exception& e) {
            // Settled on the store already: the next look finds nothing left to do.
            qCWarning(lcRegistration) << "intent" << token << "not cleared:" << e.what();
        }
    }
}

db::Intent Registration::NewIntent(db::Intent::Phase phase) const {
    db::Intent i;
    i.token = db::FileRecord::NewToken();
    i.name = upload_.remote;
    i.phase = phase;
    i.opId = upload_.operatorId;
    i.host = HostName();
    return i;
}

QString Registration::Announce(const QString& temporary) {
    const bool resumed = adopted_ && intent_.temp == temporary;
    if (!resumed) {
        intent_ = NewIntent(db::Intent::Phase::Put);
        intent_.temp = temporary;
    }
    intent_.phase = db::Intent::Phase::Put;
    intent_.tempSize = -1;
    try {
        intent_.created = db::DatabaseNow(query_);
        db::IntentLog log(query_);
        resumed ? log.Update(intent_) : log.Announce(intent_);
        if (!own_.contains(intent_.token)) {
            own_ << intent_.token;
        }
        previous_ = db::FileRecord(query_).Current(upload_.remote);
    } catch (const std::exception& e) {
        return Tr("korvane", "不能在数据库中登记本次上传，没有上传。\n%1")
            .arg(QString::fromUtf8(e.what()).trimmed());
    }
    return QString();
}

QString Registration::Plan(const store::StoredCopy& copy, bool nameTaken, QString* aside) {
    try {
        db::IntentLog log(query_);
        if (nameTaken) {
            // The content there keeps its number; one that no version names gets the next.
            const QList<db::Version> versions = log.Versions(upload_.remote);
            int number = versions.isEmpty() ? 1 : versions.last().number + 1;
            for (const db::Version& v : versions) {
                if (v.storeName == upload_.remote) {
                    number = v.number;
                }
            }
            *aside = db::IntentLog::VersionName(upload_.remote, number);
        }
        intent_.phase = db::Intent::Phase::Publish;
        intent_.tempSize = static_cast<int64_t>(copy.size);
        intent_.tempSha = copy.sha256;
        intent_.aside = *aside;
        log.Update(intent_);
    } catch (const std::exception& e) {
        return Unsaved(upload_, QString::fromUtf8(e.what()).trimmed());
    }
    return QString();
}

void Registration::RecordVersions(const store::StoredCopy& copy, const QString& since) {
    db::IntentLog log(query_);
    QList<db::Version> versions = log.Versions(upload_.remote);
    int next = versions.isEmpty() ? 1 : versions.last().number + 1;
    if (!intent_.aside.isEmpty()) {
        const int number = intent_.aside.section(u'~', -2, -2).toInt();
        const auto current = std::find_if(versions.begin(), versions.end(),
                                          [&](const db::Version& v) { return v.number == number; });
        if (current != versions.end()) {
            log.MoveVersion(upload_.remote, number, intent_.aside);
            current->storeName = intent_.aside;
        } else {
            // A content from before versions were kept: what the record said, if anything.
            db::Version old{upload_.remote, number, intent_.aside, -1, QString(), 0, QString()};
            if (previous_) {
                old.size = previous_->size;
                old.sha256 = previous_->sha256;
                old.opId = previous_->opId;
            }
            log.AddVersion(old);
            versions.append(old);
        }
        next = std::max(next, number + 1);
    }
    version_ = next;
    log.AddVersion({upload_.remote, next, upload_.remote, static_cast<int64_t>(copy.size),
                    copy.sha256, upload_.operatorId, since});
    // Only the bound removes an earlier content, oldest first, once nothing refers to it.
    QList<db::Version> earlier;
    for (const db::Version& v : versions) {
        if (v.storeName != upload_.remote) {
            earlier.append(v);
        }
    }
    for (qsizetype i = 0; i + upload_.keepVersions < earlier.size(); ++i) {
        log.DropVersion(upload_.remote, earlier[i].number);
        db::Intent collect = NewIntent(db::Intent::Phase::Collect);
        collect.aside = earlier[i].storeName;
        collect.created = intent_.created;
        log.Announce(collect);
        own_ << collect.token;
    }
}

QString Registration::Settle(const store::StoredCopy& copy) {
    QString failure;
    try {
        connection_.BeginTransaction();
        open_ = true;
        db::ExecStatement(query_, upload_.insert);
        db::StoredFile file{upload_.remote, static_cast<int64_t>(copy.size),
                            copy.sha256,    upload_.operatorId,
                            HostName(),     QString()};
        db::FileRecord(query_).Record(file, token_);
        db::OpenStatement(query_, QStringLiteral("select max(create_date) as d from "
                                                 "zy.res_download_path where down_path=") +
                                      db::QuotedSql(upload_.remote));
        const QString since = query_.FieldAsString(QStringLiteral("d"));
        query_.Close();
        RecordVersions(copy, since);
        db::IntentLog(query_).Clear(intent_.token);
    } catch (const std::exception& e) {
        Rollback();
        return Unsaved(upload_, QString::fromUtf8(e.what()).trimmed());
    }
    open_ = false;
    try {
        connection_.Commit();
        claimed_ = false;  // the record dropped the claim with the commit
        own_.removeAll(intent_.token);
        return QString();
    } catch (const std::exception& e) {
        failure = QString::fromUtf8(e.what()).trimmed();
    }
    try {
        connection_.Rollback();
    } catch (const std::exception&) {
        // Gone with the connection: the database rolled it back itself.
    }
    return Unsaved(upload_, failure);
}

}  // namespace korvane
