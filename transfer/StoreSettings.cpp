#include "StoreSettings.h"

#include "FtpTls.h"

#include <QFileInfo>
#include <QStringList>
#include <initializer_list>
#include <utility>

#include "FtpEncoding.h"
#include "FtpServerMemory.h"
#include "FtpStore.h"
#include "FtpTrace.h"
#include "SftpStore.h"
#include "Translate.h"
#include "TrimBlanks.h"

using korvane::Tr;

namespace korvane {

namespace {

template <class T>
using Choices = std::initializer_list<std::pair<const char*, T>>;

QString Invalid(const QString& name, const QString& value, const QString& allowed) {
    return Tr("korvane", "系统参数[%1]的值[%2]无效，应为%3。").arg(name, value, allowed);
}

// The value of parameter `name` among choices (the first is the default).
template <class T>
bool Choose(const std::function<QString(const QString&)>& parameter, const char* name,
            Choices<T> choices, T* out, QString* error) {
    const QString key = QString::fromLatin1(name);
    const QString value = telmaris::TrimBlanks(parameter(key));
    if (value.isEmpty()) {
        *out = choices.begin()->second;
        return true;
    }
    QStringList allowed;
    for (const auto& [text, choice] : choices) {
        if (value.compare(QLatin1String(text), Qt::CaseInsensitive) == 0) {
            *out = choice;
            return true;
        }
        allowed << QString::fromLatin1(text);
    }
    *error = Invalid(key, value, allowed.join(Tr("korvane", "、")));
    return false;
}

// A whole number from low to high; an empty value leaves *out as it is.
bool ReadNumber(const std::function<QString(const QString&)>& parameter, const char* name, int low,
                int high, const QString& allowed, std::optional<int>* out, QString* error) {
    const QString key = QString::fromLatin1(name);
    const QString value = telmaris::TrimBlanks(parameter(key));
    if (value.isEmpty()) {
        return true;
    }
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok || number < low || number > high) {
        *error = Invalid(key, value, allowed);
        return false;
    }
    *out = number;
    return true;
}

bool ReadTimeout(const std::function<QString(const QString&)>& parameter, std::optional<int>* out,
                 QString* error) {
    return ReadNumber(parameter, "korvane_ftp_timeout", 1, 3600,
                      Tr("korvane", "1 到 3600 之间的秒数"), out, error);
}

bool ReadKeepVersions(const std::function<QString(const QString&)>& parameter, int* out,
                      QString* error) {
    std::optional<int> keep;
    if (!ReadNumber(parameter, "korvane_keep_versions", 0, 1000,
                    Tr("korvane", "0 到 1000 之间的整数"), &keep, error)) {
        return false;
    }
    *out = keep.value_or(*out);
    return true;
}

// A value that is used as it stands once check accepts it.
bool ReadChecked(const std::function<QString(const QString&)>& parameter, const char* name,
                 const std::function<bool(const QString&)>& check, const QString& allowed,
                 std::string* out, QString* error) {
    const QString key = QString::fromLatin1(name);
    const QString value = telmaris::TrimBlanks(parameter(key));
    if (!value.isEmpty() && !check(value)) {
        *error = Invalid(key, value, allowed);
        return false;
    }
    *out = value.toStdString();
    return true;
}

bool ReadEncoding(const std::function<QString(const QString&)>& parameter, std::string* out,
                  QString* error) {
    const auto known = [](const QString& v) {
        return v.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0 ||
               ftp::NameCodec::Known(v.toStdString());
    };
    if (!ReadChecked(parameter, "korvane_ftp_encoding", known,
                     Tr("korvane", "auto、UTF-8、GBK 或其他 iconv 认识的编码名"), out, error)) {
        return false;
    }
    if (out->empty()) {
        *out = "auto";
    }
    return true;
}

bool ReadTls(const std::function<QString(const QString&)>& parameter, ftp::TlsSettings* out,
             QString* error) {
    using ftp::TlsMode;
    return Choose<TlsMode>(parameter, "korvane_ftp_tls",
                           {{"off", TlsMode::Off},
                            {"explicit", TlsMode::Explicit},
                            {"auto", TlsMode::Auto},
                            {"implicit", TlsMode::Implicit}},
                           &out->mode, error) &&
           ReadChecked(
               parameter, "korvane_ftp_cafile",
               [](const QString& v) { return QFileInfo(v).isFile() && QFileInfo(v).isReadable(); },
               Tr("korvane", "可读的PEM证书文件"), &out->caFile, error) &&
           ReadChecked(
               parameter, "korvane_ftp_fingerprint",
               [](const QString& v) { return ftp::ParseFingerprint(v.toStdString()).has_value(); },
               Tr("korvane", "服务器证书的SHA-256指纹（64位十六进制，字节间可用冒号）"),
               &out->fingerprint, error);
}

bool ReadSftp(const std::function<QString(const QString&)>& parameter, sftp::SftpOptions* out,
              const std::string& encoding, QString* error) {
    const QString keys = telmaris::TrimBlanks(parameter(QStringLiteral("korvane_sftp_hostkey")));
    QString why;
    if (!keys.isEmpty() && !sftp::ParseHostKeyFingerprints(keys, &out->hostKeys, &why)) {
        *error =
            Invalid(QStringLiteral("korvane_sftp_hostkey"), keys,
                    Tr("korvane", "以空格分隔的主机密钥指纹（ssh-keygen -lf 显示的 SHA256:...）")) +
            u'\n' + why;
        return false;
    }
    std::string key;
    if (!ReadChecked(
            parameter, "korvane_sftp_key",
            [](const QString& v) { return QFileInfo(v).isFile() && QFileInfo(v).isReadable(); },
            Tr("korvane", "可读的私钥文件"), &key, error)) {
        return false;
    }
    out->keyFile = QString::fromStdString(key);
    if (encoding != "auto") {
        out->encoding = QString::fromStdString(encoding);
    }
    return true;
}

}  // namespace

bool ReadStoreSettings(const std::function<QString(const QString&)>& parameter, StoreSettings* out,
                       QString* error) {
    out->endpoint.server = parameter(QStringLiteral("korvane_ip"));
    out->endpoint.user = parameter(QStringLiteral("korvane_user"));
    out->endpoint.password = parameter(QStringLiteral("korvane_pwd"));
    out->endpoint.folder = parameter(QStringLiteral("korvane_path"));
    out->ftp.stateFolder = ftp::ServerMemory::DefaultFolder();
    using ftp::DataMode;
    using ftp::RestartRule;
    return Choose<Protocol>(parameter, "korvane_protocol",
                            {{"ftp", Protocol::Ftp}, {"sftp", Protocol::Sftp}}, &out->protocol,
                            error) &&
           Choose<DataMode>(parameter, "korvane_ftp_mode",
                            {{"active", DataMode::Active},
                             {"passive", DataMode::Passive},
                             {"auto", DataMode::Auto}},
                            &out->ftp.mode, error) &&
           Choose<RestartRule>(parameter, "korvane_ftp_resume",
                               {{"offset", RestartRule::Offset},
                                {"strict", RestartRule::Strict},
                                {"code", RestartRule::AnyCode350}},
                               &out->ftp.restart, error) &&
           Choose<bool>(parameter, "korvane_ftp_upload", {{"rename", true}, {"direct", false}},
                        &out->viaTemporary, error) &&
           ReadTimeout(parameter, &out->timeoutSeconds, error) &&
           ReadKeepVersions(parameter, &out->keepVersions, error) &&
           ReadEncoding(parameter, &out->ftp.encoding, error) &&
           ReadTls(parameter, &out->ftp.tls, error) &&
           ReadSftp(parameter, &out->sftp, out->ftp.encoding, error);
}

bool ResumeIsSure(const StoreSettings& settings) {
    // SFTP reads at an offset; FTP needs a restart reply whose words are understood.
    return settings.protocol == Protocol::Sftp || settings.ftp.restart != ftp::RestartRule::Strict;
}

std::unique_ptr<store::FileStore> MakeStore(const StoreSettings& settings,
                                            const store::Timeouts& timeouts, store::Clock* clock) {
    if (settings.protocol == Protocol::Sftp) {
        return sftp::MakeSftpStore(settings.endpoint, settings.sftp, timeouts, clock);
    }
    InstallFtpTrace();
    return std::make_unique<FtpStore>(settings.endpoint, settings.ftp, timeouts, clock);
}

}  // namespace korvane
