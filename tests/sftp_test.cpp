// The SFTP store against OpenSSH's sshd, started by the fixture on a loopback port.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <functional>

#include "SftpPacket.h"
#include "SftpStore.h"
#include "support/Files.h"
#include "support/FtpServers.h"
#include "support/SshServer.h"

using korvane::sftp::MakeSftpStore;
using korvane::sftp::ParseHostKeyFingerprints;
using korvane::sftp::SftpOptions;
using korvane::store::Fault;
using korvane::store::FileStore;
using korvane::store::Result;
using korvane::test::MakeSshKey;
using korvane::test::Pattern;
using korvane::test::ReadFile;
using korvane::test::SshAgent;
using korvane::test::SshServer;
using korvane::test::WriteFile;

namespace {

constexpr int kTimeoutMs = 5000;

SshServer& Shared() {
    static std::unique_ptr<SshServer> shared;
    if (!shared) {
        shared = std::make_unique<SshServer>();
        qAddPostRoutine([] { shared.reset(); });
    }
    return *shared;
}

QString Sha256Hex(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

std::string Text(const Result& r) {
    return r.reason.toStdString();
}

class SftpTest : public ::testing::Test {
protected:
    void SetUp() override {
        qunsetenv("SSH_AUTH_SOCK");  // only the agent's case has one
        Use(Shared());
        Shared().Clear();
    }
    void Use(SshServer& s) {
        server = &s;
        ASSERT_TRUE(server->Started()) << server->Error().toStdString();
        options.hostKeys = {server->HostKeyFingerprint()};
        options.knownHostsFiles = {local.filePath(QStringLiteral("known_hosts"))};
        options.keyFile = server->ClientKey();
        endpoint = {server->Server(), server->User(), server->Password(), server->Home()};
    }
    std::unique_ptr<FileStore> Open(Result* opened = nullptr) {
        auto store =
            MakeSftpStore(endpoint, options, korvane::store::Timeouts::All(kTimeoutMs), nullptr);
        store->SetCancelFlag(&cancel);
        store->SetProgress([this](uint64_t done, uint64_t total, uint64_t from) {
            last = {done, total, from};
            if (onProgress) {
                onProgress(done);
            }
        });
        const Result r = store->Open();
        if (opened != nullptr) {
            *opened = r;
        } else {
            EXPECT_TRUE(r.Ok()) << Text(r);
        }
        return store;
    }
    QString LocalPath(const QString& name) const { return local.filePath(name); }

    SshServer* server = nullptr;
    QTemporaryDir local;
    SftpOptions options;
    korvane::store::Endpoint endpoint;
    std::atomic<bool> cancel{false};
    struct {
        uint64_t done, total, from;
    } last{};
    std::function<void(uint64_t)> onProgress;
};

TEST_F(SftpTest, RoundTripKeepsEveryByteAndItsDigest) {
    const QByteArray content = Pattern(3 * 1024 * 1024 + 12345);
    WriteFile(LocalPath(QStringLiteral("a.bin")), content);
    auto store = Open();
    korvane::store::StoredCopy copy;
    const Result put =
        store->Put(LocalPath(QStringLiteral("a.bin")), QStringLiteral("a.bin"), &copy, 0);
    ASSERT_TRUE(put.Ok()) << Text(put);
    EXPECT_EQ(copy.size, static_cast<uint64_t>(content.size()));
    EXPECT_EQ(copy.sha256, Sha256Hex(content));
    EXPECT_EQ(server->Read(QStringLiteral("a.bin")), content);
    EXPECT_EQ(last.done, last.total);

    korvane::store::RemoteInfo info;
    ASSERT_TRUE(store->Info(QStringLiteral("a.bin"), &info).Ok());
    EXPECT_EQ(info.size, static_cast<uint64_t>(content.size()));
    EXPECT_LT(std::abs(info.modified->secsTo(QDateTime::currentDateTimeUtc())), 120);
    QString digest;
    uint64_t size = 0;
    ASSERT_TRUE(store->Digest(QStringLiteral("a.bin"), &digest, &size).Ok());
    EXPECT_EQ(digest, copy.sha256);
    EXPECT_EQ(size, copy.size);

    const Result got = store->Get(QStringLiteral("a.bin"), LocalPath(QStringLiteral("back.bin")));
    ASSERT_TRUE(got.Ok()) << Text(got);
    EXPECT_EQ(ReadFile(LocalPath(QStringLiteral("back.bin"))), content);

    // Local trouble is the operator's to mend, not the server's: a missing source, a link as
    // the download target.
    EXPECT_EQ(store->Put(LocalPath(QStringLiteral("none")), QStringLiteral("b"), nullptr, 0).fault,
              Fault::Local);
    QFile::link(LocalPath(QStringLiteral("a.bin")), LocalPath(QStringLiteral("link")));
    EXPECT_EQ(store->Get(QStringLiteral("a.bin"), LocalPath(QStringLiteral("link"))).fault,
              Fault::Local);
    EXPECT_EQ(ReadFile(LocalPath(QStringLiteral("a.bin"))), content);

    QDir(server->Home()).mkdir(QStringLiteral("sub"));
    QStringList names;
    ASSERT_TRUE(store->List(&names).Ok());
    EXPECT_TRUE(names.contains(QStringLiteral("a.bin")));
    EXPECT_FALSE(names.contains(QStringLiteral("sub")));
    ASSERT_TRUE(store->Remove(QStringLiteral("a.bin")).Ok());
    EXPECT_EQ(store->Info(QStringLiteral("a.bin"), &info).fault, Fault::NotFound);
    EXPECT_EQ(store->Get(QStringLiteral("a.bin"), LocalPath(QStringLiteral("x"))).fault,
              Fault::NotFound);
    EXPECT_TRUE(store->Alive());
}

// The host key decides before any authentication: a pinned fingerprint or a known-hosts line
// (plain, hashed, [host]:port) lets the session on; anything else stops it.
TEST_F(SftpTest, HostKeyIsCheckedBeforeAnyAuthentication) {
    const QString other = LocalPath(QStringLiteral("other_key"));
    ASSERT_TRUE(MakeSshKey(other));
    const QString otherLine =
        QString::fromLatin1(ReadFile(other + QStringLiteral(".pub")).trimmed());
    const QString hostPort = QStringLiteral("[127.0.0.1]:%1 ").arg(server->Port());
    struct Row {
        const char* name;
        bool pinned;
        QString knownHosts;
        bool hashed;
        bool accepted;
    } rows[] = {
        {"pinned fingerprint", true, QString(), false, true},
        {"known host by [host]:port", false, hostPort + server->HostKeyLine(), false, true},
        {"hashed known host", false, hostPort + server->HostKeyLine(), true, true},
        {"unknown", false, QString(), false, false},
        {"another host's key only", false,
         QStringLiteral("[127.0.0.2]:%1 ").arg(server->Port()) + server->HostKeyLine(), false,
         false},
        {"changed", false, hostPort + otherLine, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        options.hostKeys = row.pinned ? QStringList{server->HostKeyFingerprint()} : QStringList{};
        WriteFile(options.knownHostsFiles.first(), row.knownHosts.toUtf8() + '\n');
        if (row.hashed) {
            QProcess hash;
            hash.start(QStringLiteral("ssh-keygen"),
                       {QStringLiteral("-q"), QStringLiteral("-H"), QStringLiteral("-f"),
                        options.knownHostsFiles.first()});
            hash.waitForFinished(kTimeoutMs);
            ASSERT_TRUE(ReadFile(options.knownHostsFiles.first()).startsWith("|1|"));
        }
        const qsizetype logBefore = server->Log().size();
        Result r;
        auto store = Open(&r);
        if (row.accepted) {
            EXPECT_TRUE(r.Ok()) << Text(r);
            continue;
        }
        EXPECT_EQ(r.fault, Fault::HostKey) << Text(r);
        EXPECT_TRUE(r.reason.contains(server->HostKeyFingerprint())) << Text(r);
        EXPECT_TRUE(r.reason.contains(server->HostKeyType())) << Text(r);
        EXPECT_TRUE(r.reason.contains(QStringLiteral("korvane_sftp_hostkey"))) << Text(r);
        // sshd notes the end of the connection; before it no authentication request came.
        QDeadlineTimer deadline(kTimeoutMs);
        QByteArray log;
        while (!deadline.hasExpired() &&
               !(log = server->Log().mid(logBefore)).contains("preauth")) {
            QThread::msleep(20);
        }
        EXPECT_TRUE(log.contains("preauth")) << log.toStdString();
        EXPECT_FALSE(log.contains("userauth-request")) << log.toStdString();
    }
}

// The agent, the key file (its passphrase in the password) and the password; wrong ones fail
// as Credentials.
TEST_F(SftpTest, AuthenticationByAgentKeyAndPassword) {
    const QString locked = LocalPath(QStringLiteral("locked_key"));
    ASSERT_TRUE(MakeSshKey(locked, QStringLiteral("open sesame")));
    const QString rightPassword = server->Password();
    SshAgent agent;
    ASSERT_TRUE(agent.Started());
    ASSERT_TRUE(agent.Add(server->ClientKey()));
    struct Row {
        const char* name;
        QString keyFile;
        QString password;
        bool useAgent;
        Fault fault;
    } rows[] = {
        {"key file", server->ClientKey(), QString(), false, Fault::None},
        {"agent", QString(), QString(), true, Fault::None},
        {"password", QString(), rightPassword, false, Fault::None},
        {"wrong password", QString(), QStringLiteral("wrong"), false, Fault::Credentials},
        {"unauthorised key, wrong passphrase", locked, QStringLiteral("wrong"), false,
         Fault::Credentials},
        {"missing key file", LocalPath(QStringLiteral("none")), QString(), false, Fault::Local},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (rightPassword.isEmpty() && row.name == std::string("password")) {
            GTEST_LOG_(INFO) << "password login skipped: only root can give the test account one";
            continue;
        }
        if (row.useAgent) {
            qputenv("SSH_AUTH_SOCK", agent.Socket().toLocal8Bit());
        } else {
            qunsetenv("SSH_AUTH_SOCK");
        }
        options.keyFile = row.keyFile;
        endpoint.password = row.password;
        Result r;
        Open(&r);
        EXPECT_EQ(r.fault, row.fault) << Text(r);
    }
    qunsetenv("SSH_AUTH_SOCK");
}

TEST_F(SftpTest, NothingListeningIsRefused) {
    endpoint.server = QStringLiteral("127.0.0.1:%1").arg(korvane::test::FreePort());
    Result r;
    Open(&r);
    EXPECT_EQ(r.fault, Fault::Refused) << Text(r);
}

// A cancel and a server that dies both end a transfer at once, each with its own fault.
TEST_F(SftpTest, CancelAndServerDeathEndATransferPromptly) {
    const QByteArray big = Pattern(96 * 1024 * 1024);
    WriteFile(LocalPath(QStringLiteral("big")), big);
    SshServer own;
    for (const bool kill : {false, true}) {
        SCOPED_TRACE(kill ? "server killed" : "cancelled");
        if (kill) {
            ASSERT_NO_FATAL_FAILURE(Use(own));
        }
        cancel = false;
        auto store = Open();
        QElapsedTimer since;
        onProgress = [&](uint64_t done) {
            if (done >= 4 * 1024 * 1024 && !since.isValid()) {
                since.start();
                kill ? own.Kill() : cancel.store(true);
            }
        };
        const Result r =
            store->Put(LocalPath(QStringLiteral("big")), QStringLiteral("big"), nullptr, 0);
        ASSERT_TRUE(since.isValid());
        if (kill) {
            EXPECT_TRUE(r.fault == Fault::Broken || r.fault == Fault::Timeout) << Text(r);
            EXPECT_LT(since.elapsed(), kTimeoutMs + 1000);
        } else {
            EXPECT_EQ(r.fault, Fault::Cancelled) << Text(r);
            EXPECT_LT(since.elapsed(), 1000);
        }
    }
    onProgress = nullptr;
}

// An upload stopped half way is continued from what the server holds where its last bytes are
// the file's, and stored again where not; the digest is the whole file's either way.
TEST_F(SftpTest, AStoppedUploadContinuesWhereItStopped) {
    const QByteArray content = Pattern(24 * 1024 * 1024 + 5, 3);
    WriteFile(LocalPath(QStringLiteral("up")), content);
    for (const bool altered : {false, true}) {
        SCOPED_TRACE(altered ? "held bytes altered" : "held bytes the file's");
        cancel = false;
        auto store = Open();
        onProgress = [this](uint64_t done) {
            if (done >= 4 * 1024 * 1024) {
                cancel.store(true);
            }
        };
        const QString name = QStringLiteral("up.part");
        EXPECT_EQ(store->Put(LocalPath(QStringLiteral("up")), name, nullptr, 0).fault,
                  Fault::Cancelled);
        onProgress = nullptr;
        cancel = false;
        korvane::store::RemoteInfo info;
        ASSERT_TRUE(store->Info(name, &info).Ok());
        const uint64_t held = info.size.value_or(0);
        ASSERT_GT(held, 0u);
        ASSERT_LT(held, static_cast<uint64_t>(content.size()));
        if (altered) {
            QFile file(server->PathOf(name));
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            const char other = static_cast<char>(~content[static_cast<qsizetype>(held) - 1]);
            file.seek(static_cast<qint64>(held) - 1);
            file.write(&other, 1);
        }
        korvane::store::StoredCopy copy;
        const Result r = store->Put(LocalPath(QStringLiteral("up")), name, &copy, held);
        ASSERT_TRUE(r.Ok()) << Text(r);
        EXPECT_EQ(copy.resumedFrom, altered ? 0u : held);
        EXPECT_EQ(last.from, altered ? 0u : held);
        EXPECT_EQ(copy.sha256, Sha256Hex(content));
        EXPECT_TRUE(server->Read(name) == content);
    }
}

// Replace with the server's posix-rename and without it (the old file moved aside and back);
// a replace that fails leaves the old file as it was and no stray name behind.
TEST_F(SftpTest, ReplaceKeepsTheOldFileWhenItFails) {
    SshServer refusing(QStringLiteral("-P posix-rename"));
    for (SshServer* s : {&Shared(), &refusing}) {
        const bool atomic = s == &Shared();
        SCOPED_TRACE(atomic ? "posix-rename" : "moved aside");
        ASSERT_NO_FATAL_FAILURE(Use(*s));
        s->Put(QStringLiteral("old"), "old content");
        s->Put(QStringLiteral("new"), "new content");
        auto store = Open();
        EXPECT_EQ(store->Replace(QStringLiteral("missing"), QStringLiteral("old")).fault,
                  Fault::NotFound);
        EXPECT_EQ(s->Read(QStringLiteral("old")), "old content");
        EXPECT_EQ(store->Rename(QStringLiteral("new"), QStringLiteral("old")).fault, Fault::Server);
        const Result r = store->Replace(QStringLiteral("new"), QStringLiteral("old"));
        ASSERT_TRUE(r.Ok()) << Text(r);
        EXPECT_EQ(s->Read(QStringLiteral("old")), "new content");
        EXPECT_EQ(store->Can().atomicReplace, atomic);
        QStringList names;
        ASSERT_TRUE(store->List(&names).Ok());
        EXPECT_EQ(names, QStringList{QStringLiteral("old")});
        QFile::remove(s->PathOf(QStringLiteral("old")));
    }
}

// A partial copy continues where its last bytes match the server's, and starts over where not.
TEST_F(SftpTest, ResumedDownloadMovesOnlyTheMissingBytes) {
    const QByteArray content = Pattern(2 * 1024 * 1024 + 77);
    server->Put(QStringLiteral("r.bin"), content);
    const qsizetype held = 700 * 1024 + 3;
    for (const bool foreign : {false, true}) {
        SCOPED_TRACE(foreign ? "foreign partial copy" : "own partial copy");
        const QString target = LocalPath(QStringLiteral("r.bin"));
        WriteFile(target, foreign ? Pattern(held, 9) : content.left(held));
        auto store = Open();
        const Result r = store->Get(QStringLiteral("r.bin"), target);
        ASSERT_TRUE(r.Ok()) << Text(r);
        EXPECT_EQ(ReadFile(target), content);
        EXPECT_EQ(last.from, foreign ? 0U : static_cast<uint64_t>(held));
        EXPECT_EQ(last.done, static_cast<uint64_t>(content.size()));
    }
}

// Names travel in the site's encoding: on the server's disk they are GBK bytes.
TEST_F(SftpTest, GbkNamesAreGbkBytesOnTheServer) {
    options.encoding = QStringLiteral("GBK");
    const QString name = QStringLiteral("合同_7777.txt");
    WriteFile(LocalPath(QStringLiteral("up")), "gbk");
    auto store = Open();
    ASSERT_TRUE(store->Put(LocalPath(QStringLiteral("up")), name, nullptr, 0).Ok());
    const QByteArray gbk = QByteArray("\xba\xcf\xcd\xac_7777.txt");
    const QByteArray onDisk = QFile::encodeName(server->Home()) + '/' + gbk;
    EXPECT_EQ(access(onDisk.constData(), F_OK), 0);
    QStringList names;
    ASSERT_TRUE(store->List(&names).Ok());
    EXPECT_TRUE(names.contains(name));
    ASSERT_TRUE(store->Get(name, LocalPath(QStringLiteral("down"))).Ok());
    EXPECT_EQ(ReadFile(LocalPath(QStringLiteral("down"))), "gbk");
    EXPECT_TRUE(store->Remove(name).Ok());
}

// Replies come in whatever pieces the channel delivers; a length no server sends breaks the
// stream instead of waiting for gigabytes.
TEST(SftpPackets, RepliesSurviveAnySplitAndABadLengthIsBroken) {
    using namespace korvane::sftp;
    PacketWriter data(kFxpData, 7);
    data.Str("payload");
    PacketWriter status(kFxpStatus, 8);
    status.U32(kFxEof).Str("end").Str("");
    const std::string stream = data.Take() + status.Take();
    for (std::size_t piece : {std::size_t{1}, std::size_t{5}, stream.size()}) {
        SCOPED_TRACE(piece);
        PacketSplitter splitter;
        std::vector<Reply> replies;
        bool broken = false;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            splitter.Feed(stream.data() + at, std::min(piece, stream.size() - at));
            while (std::optional<Reply> r = splitter.Next(&broken)) {
                replies.push_back(*r);
            }
        }
        ASSERT_EQ(replies.size(), 2U);
        EXPECT_FALSE(broken);
        EXPECT_EQ(replies[0].id, 7U);
        PacketReader body(replies[0].body);
        EXPECT_EQ(body.Str(), "payload");
        EXPECT_EQ(replies[1].type, kFxpStatus);
        PacketReader end(replies[1].body);
        EXPECT_EQ(end.U32(), kFxEof);
        EXPECT_EQ(end.Str(), "end");
        EXPECT_EQ(end.U32(), 0U);  // the language tag
        EXPECT_TRUE(end.AtEnd());
        EXPECT_FALSE((end.U32(), end.Ok()));  // a read past the end is noticed
    }
    PacketSplitter splitter;
    bool broken = false;
    splitter.Feed("\x7f\xff\xff\xff\x65", 5);
    EXPECT_FALSE(splitter.Next(&broken));
    EXPECT_TRUE(broken);
}

TEST(SftpOptions, HostKeyFingerprintsAreCheckedWords) {
    const QString a = QStringLiteral("SHA256:OK/tBGAvDscTFeeQG3YfTcaeeNGgul7IRIammZor8R4");
    const QString b = QStringLiteral("SHA256:q6EABeHaMFCC71vXGT/GuXaZf82nK+mJ775TMNIIImQ");
    struct Row {
        QString text;
        bool ok;
        QStringList keys;
    } rows[] = {
        {QString(), true, {}},
        {QStringLiteral("  ") + a + QStringLiteral("\t ") + b + u'\n', true, {a, b}},
        {a.left(a.size() - 1), false, {}},
        {QStringLiteral("MD5:") + a.mid(7), false, {}},
        {a + QStringLiteral("=="), false, {}},
        {a + QStringLiteral(",") + b, false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.toStdString());
        QStringList keys;
        QString error;
        EXPECT_EQ(ParseHostKeyFingerprints(row.text, &keys, &error), row.ok);
        EXPECT_EQ(keys, row.keys);
        EXPECT_EQ(error.isEmpty(), row.ok);
    }
}

}  // namespace
