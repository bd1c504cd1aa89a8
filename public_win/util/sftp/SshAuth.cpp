#include <QByteArray>
#include <QFileInfo>

#include "SshDrive.h"
#include "SshLink.h"
#include "Translate.h"

namespace korvane::sftp {

using store::Fault;
using store::Result;

namespace {
// Keyboard-interactive rounds answered with the password before the server counts as refusing.
constexpr int kPromptRounds = 4;

// A private key read from its file, freed with the object.
struct PrivateKey {
    ssh_key key = nullptr;
    ~PrivateKey() { ssh_key_free(key); }
};

Result ImportKey(const QString& file, const QString& passphrase, PrivateKey* out) {
    const QByteArray path = file.toLocal8Bit();
    const QByteArray secret = passphrase.toUtf8();
    if (ssh_pki_import_privkey_file(path.constData(),
                                    secret.isEmpty() ? nullptr : secret.constData(), nullptr,
                                    nullptr, &out->key) == SSH_OK) {
        return Result::Success();
    }
    if (!QFileInfo(file).isReadable()) {
        return Result::Failure(
            Fault::Local,
            Tr("korvane", "无法读取系统参数korvane_sftp_key指定的密钥文件%1").arg(file));
    }
    return Result::Failure(
        Fault::Credentials,
        Tr("korvane", "密钥文件%1无法解开：口令（korvane_pwd）不对，或不是OpenSSH私钥").arg(file));
}
}  // namespace

Result SshLink::Authenticate(const store::Endpoint& endpoint, const SftpOptions& options,
                             int timeoutMs, const std::atomic<bool>* cancel) {
    const Deadline deadline(*clock_, timeoutMs, cancel);
    int rc = SSH_AUTH_ERROR;
    Result r = Drive([this] { return ssh_userauth_none(session_, nullptr); }, SSH_AUTH_AGAIN, &rc,
                     deadline, Tr("korvane", "登录"));
    if (!r.Ok() || rc == SSH_AUTH_SUCCESS) {
        return r;
    }
    if (rc == SSH_AUTH_ERROR) {
        return Result::Failure(Fault::Broken,
                               Tr("korvane", "登录服务器%1时连接中断：%2").arg(server_, Error()));
    }
    const auto methods = static_cast<unsigned>(ssh_userauth_list(session_, nullptr));
    bool done = false;
    if (methods & SSH_AUTH_METHOD_PUBLICKEY) {
        r = AuthenticateByKey(endpoint, options, deadline, &done);
        if (!r.Ok() || done) {
            return r;
        }
    }
    r = AuthenticateByPassword(endpoint, methods, deadline, &done);
    if (!r.Ok() || done) {
        return r;
    }
    return Result::Failure(
        Fault::Credentials,
        Tr("korvane", "服务器%1拒绝了用户%2的登录：ssh-agent、密钥文件和密码均未被接受")
            .arg(server_, endpoint.user));
}

Result SshLink::AuthenticateByKey(const store::Endpoint& endpoint, const SftpOptions& options,
                                  const Deadline& deadline, bool* done) {
    const QString what = Tr("korvane", "登录");
    int rc = SSH_AUTH_ERROR;
    if (qEnvironmentVariableIsSet("SSH_AUTH_SOCK")) {
        Result r = Drive([this] { return ssh_userauth_agent(session_, nullptr); }, SSH_AUTH_AGAIN,
                         &rc, deadline, what);
        *done = r.Ok() && rc == SSH_AUTH_SUCCESS;
        if (!r.Ok() || *done) {
            return r;
        }
    }
    if (options.keyFile.isEmpty()) {
        return Result::Success();
    }
    PrivateKey key;
    Result r = ImportKey(options.keyFile, endpoint.password, &key);
    if (r.Ok()) {
        r = Drive([this, &key] { return ssh_userauth_publickey(session_, nullptr, key.key); },
                  SSH_AUTH_AGAIN, &rc, deadline, what);
        *done = r.Ok() && rc == SSH_AUTH_SUCCESS;
    }
    return r;
}

Result SshLink::AuthenticateByPassword(const store::Endpoint& endpoint, unsigned methods,
                                       const Deadline& deadline, bool* done) {
    if (endpoint.password.isEmpty()) {
        return Result::Success();
    }
    const QByteArray password = endpoint.password.toUtf8();
    if (methods & SSH_AUTH_METHOD_PASSWORD) {
        int rc = SSH_AUTH_ERROR;
        const Result r = Drive(
            [this, &password] {
                return ssh_userauth_password(session_, nullptr, password.constData());
            },
            SSH_AUTH_AGAIN, &rc, deadline, Tr("korvane", "登录"));
        *done = r.Ok() && rc == SSH_AUTH_SUCCESS;
        if (!r.Ok() || *done) {
            return r;
        }
    }
    if (methods & SSH_AUTH_METHOD_INTERACTIVE) {
        return AnswerPrompts(password, deadline, done);
    }
    return Result::Success();
}

Result SshLink::AnswerPrompts(const QByteArray& password, const Deadline& deadline, bool* done) {
    for (int round = 0; round < kPromptRounds; ++round) {
        int rc = SSH_AUTH_ERROR;
        const Result r = Drive([this] { return ssh_userauth_kbdint(session_, nullptr, nullptr); },
                               SSH_AUTH_AGAIN, &rc, deadline, Tr("korvane", "登录"));
        *done = r.Ok() && rc == SSH_AUTH_SUCCESS;
        if (!r.Ok() || rc != SSH_AUTH_INFO) {
            return r;
        }
        const int prompts = ssh_userauth_kbdint_getnprompts(session_);
        for (int i = 0; i < prompts; ++i) {
            ssh_userauth_kbdint_setanswer(session_, static_cast<unsigned int>(i),
                                          password.constData());
        }
    }
    return Result::Success();
}

}  // namespace korvane::sftp
