#include "Registration.h"

#include <QDateTime>
#include <QLoggingCategory>
#include <QSysInfo>
#include <exception>

#include "FileRecord.h"
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

int64_t Now() {
    return QDateTime::currentSecsSinceEpoch();
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
    db::UploadClaim mine{token_, upload_.operatorId, HostName(), Now(), Now()};
    db::UploadClaim holder;
    try {
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
        db::FileRecord(query_).Touch(upload_.remote, token_, Now());
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

}  // namespace korvane
