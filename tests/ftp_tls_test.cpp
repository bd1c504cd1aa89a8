// FTPS against real servers: vsftpd requiring TLS with session reuse and a clean end of every
// upload, explicit and implicit, and pyftpdlib's TLS handler with injected faults.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstring>

#include "CFTPClient.h"
#include "FtpTls.h"
#include "support/FakeClock.h"
#include "support/Files.h"
#include "support/FtpServers.h"
#include "support/TestCertificate.h"

using korvane::test::FtpServer;
using korvane::test::Pattern;
using korvane::test::PyFtpServer;
using korvane::test::ReadFile;
using korvane::test::TestCertificate;
using korvane::test::VsftpdServer;
using korvane::test::WriteFile;

namespace {

// A handshake offers only suites with forward secrecy and authenticated encryption: no static
// RSA key exchange, no CBC with SHA-1 (TLS 1.3's suites are all of that kind).
TEST(TlsSuites, OnlyForwardSecretAeadSuitesAreOffered) {
    ftp::TlsSettings settings;
    settings.mode = ftp::TlsMode::Explicit;
    std::unique_ptr<ftp::TlsContext> context;
    ASSERT_TRUE(ftp::TlsContext::Create(settings, "127.0.0.1", &context).Ok());
    const std::vector<std::string> suites = context->OfferedSuites();
    ASSERT_FALSE(suites.empty());
    for (const std::string& name : suites) {
        const bool tls13 = name.rfind("TLS_", 0) == 0;
        const bool forwardSecret = name.rfind("ECDHE-", 0) == 0 || name.rfind("DHE-", 0) == 0;
        const bool aead = name.find("GCM") != std::string::npos ||
                          name.find("CHACHA20-POLY1305") != std::string::npos;
        EXPECT_TRUE(tls13 || (forwardSecret && aead)) << name;
    }
}

TEST(Fingerprint, HexWithOrWithoutColonsBetweenBytes) {
    const std::string bytes(32, '\x0f');
    const std::string plain(64, '0');
    std::string colons;
    for (int i = 0; i < 32; ++i) {
        colons += i == 0 ? "0f" : ":0F";
    }
    struct Row {
        const char* name;
        std::string text;
        bool valid;
    };
    for (const Row& row : {Row{"colons", colons, true}, Row{"plain", plain, true},
                           Row{"63 digits", plain.substr(1), false},
                           Row{"colon inside a byte",
                               colons.substr(0, 2) + colons[3] + ":" + colons.substr(4), false},
                           Row{"not hex", "g" + plain.substr(1), false}, Row{"empty", "", false}}) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ftp::ParseFingerprint(row.text).has_value(), row.valid);
    }
    EXPECT_EQ(ftp::ParseFingerprint(colons), bytes);
}

ftp::Timeouts ShortTimeouts() {
    ftp::Timeouts t;
    t.connectMs = t.replyMs = t.acceptMs = t.readMs = t.writeMs = 5000;
    return t;
}

class TlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        trusted = new TestCertificate;
        stranger = new TestCertificate;
    }
    static void TearDownTestSuite() {
        delete trusted;
        delete stranger;
    }
    void SetUp() override {
        ASSERT_TRUE(trusted->Made()) << trusted->Error().toStdString();
        ASSERT_TRUE(stranger->Made()) << stranger->Error().toStdString();
    }
    static ftp::TlsSettings Trusting(ftp::TlsMode mode, const TestCertificate* ca) {
        return {mode, ca != nullptr ? ca->CertFile().toStdString() : std::string(), {}};
    }
    // Connects to server's home with tls; false with the client's reason.
    bool Login(CFTPClient& c, const FtpServer& server, const ftp::TlsSettings& tls,
               ftp::DataMode mode = ftp::DataMode::Passive, const QString& state = QString()) {
        CFTPClient::Options options;
        options.mode = mode;
        options.tls = tls;
        options.stateFolder = state.toStdString();
        options.storeViaPart = true;
        c.SetOptions(options);
        c.SetTimeouts(ShortTimeouts());
        return c.Connect(server.Server().toUtf8(), server.User(), server.Password()) &&
               c.SetCurrentDirectory(server.RemoteDir());
    }
    // Uploads and downloads again 300 KiB over c; the bytes on both ends match.
    void RoundTrip(CFTPClient& c, const FtpServer& server, const char* name) {
        const QByteArray content = Pattern(300 * 1024, 31);
        const QString path = local.filePath(QStringLiteral("up.bin"));
        WriteFile(path, content);
        ASSERT_TRUE(c.PutFile(name, QFile::encodeName(path))) << c.m_szLastError;
        EXPECT_TRUE(server.Read(QString::fromUtf8(name)) == content);
        const QString back = local.filePath(QString::fromUtf8(name));
        ASSERT_TRUE(c.GetFile(name, QFile::encodeName(back), -1)) << c.m_szLastError;
        EXPECT_TRUE(ReadFile(back) == content);
    }

    static TestCertificate* trusted;
    static TestCertificate* stranger;
    QTemporaryDir local;
};
TestCertificate* TlsTest::trusted = nullptr;
TestCertificate* TlsTest::stranger = nullptr;

// vsftpd refuses data connections that do not resume the control connection's session, and
// (strict_ssl_read_eof) an upload that ends without close_notify.
TEST_F(TlsTest, VsftpdTransfersOnlyWithATrustedCertificate) {
    const QString strict = QStringLiteral("strict_ssl_read_eof=YES\n");
    VsftpdServer explicitServer(VsftpdServer::TlsConfig(trusted->PemFile(), false) + strict);
    VsftpdServer implicitServer(VsftpdServer::TlsConfig(trusted->PemFile(), true) + strict);
    if (!explicitServer.Started() || !implicitServer.Started()) {
        GTEST_SKIP() << explicitServer.Error().toStdString();
    }
    using ftp::TlsMode;
    const std::string right = trusted->Fingerprint().toStdString();
    struct Row {
        const char* name;
        ftp::TlsSettings tls;
        ftp::DataMode mode;
        const char* refusal;  // nullptr: transfers work
    };
    const Row rows[] = {
        {"explicit, passive, CA file", Trusting(TlsMode::Explicit, trusted), ftp::DataMode::Passive,
         nullptr},
        {"explicit, active, pinned",
         {TlsMode::Explicit, {}, right},
         ftp::DataMode::Active,
         nullptr},
        {"implicit, CA file", Trusting(TlsMode::Implicit, trusted), ftp::DataMode::Passive,
         nullptr},
        {"auto, CA file", Trusting(TlsMode::Auto, trusted), ftp::DataMode::Passive, nullptr},
        {"another CA", Trusting(TlsMode::Explicit, stranger), ftp::DataMode::Passive,
         "certificate verify failed: self-signed certificate"},
        {"the system's store", Trusting(TlsMode::Explicit, nullptr), ftp::DataMode::Passive,
         "certificate verify failed: self-signed certificate"},
        {"another pin",
         {TlsMode::Explicit, {}, stranger->Fingerprint().toStdString()},
         ftp::DataMode::Passive,
         "指纹不符"},
        {"plain", {}, ftp::DataMode::Passive, "530 Anonymous sessions must use encryption."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const FtpServer& server =
            row.tls.mode == TlsMode::Implicit ? implicitServer : explicitServer;
        CFTPClient c;
        const bool in = Login(c, server, row.tls, row.mode);
        if (row.refusal != nullptr) {
            EXPECT_FALSE(in);
            EXPECT_NE(std::strstr(c.m_szLastError, row.refusal), nullptr) << c.m_szLastError;
            continue;
        }
        ASSERT_TRUE(in) << c.m_szLastError;
        RoundTrip(c, server, "secret.bin");
        EXPECT_EQ(QDir(server.PathOf(QString())).entryList({QStringLiteral("*.part")}, QDir::Files),
                  QStringList());
    }
}

// The same faults as in plain FTP, now under TLS: a refused store keeps the old file, a
// retrieval aborted with 426 fails, and a cut download resumes byte-identical.
TEST_F(TlsTest, FaultsBehaveAsInPlainFtp) {
    PyFtpServer server({QStringLiteral("--tls-cert"), trusted->PemFile()});
    ASSERT_TRUE(server.Started()) << server.Error().toStdString();
    korvane::test::FakeClock clock;
    CFTPClient c;
    c.SetClock(&clock);
    const auto login = [&](const QStringList& faults) {
        server.Reset(faults);
        c.Disconnect();
        return Login(c, server, Trusting(ftp::TlsMode::Explicit, trusted));
    };

    ASSERT_TRUE(login({"--store-final", "552 Quota exceeded."})) << c.m_szLastError;
    server.Put(QStringLiteral("keep.bin"), "the good copy");
    WriteFile(local.filePath(QStringLiteral("new.bin")), Pattern(100 * 1024, 3));
    EXPECT_FALSE(c.PutFile("keep.bin", QFile::encodeName(local.filePath("new.bin"))));
    EXPECT_NE(std::strstr(c.m_szLastError, "552 Quota exceeded."), nullptr) << c.m_szLastError;
    EXPECT_EQ(server.Read(QStringLiteral("keep.bin")), QByteArray("the good copy"));

    ASSERT_TRUE(login({"--retr-final", "426 Transfer aborted."})) << c.m_szLastError;
    server.Put(QStringLiteral("growing.bin"), Pattern(50 * 1024, 4));
    EXPECT_FALSE(c.GetFile("growing.bin", QFile::encodeName(local.filePath("g.bin")), -1));
    EXPECT_NE(std::strstr(c.m_szLastError, "426"), nullptr) << c.m_szLastError;

    ASSERT_TRUE(login({"--rest-reply", "plain", "--drop-after", "100000", "--drop-once"}))
        << c.m_szLastError;
    const QByteArray content = Pattern(256 * 1024, 5);
    server.Put(QStringLiteral("r.bin"), content);
    const QByteArray path = QFile::encodeName(local.filePath("r.bin"));
    EXPECT_FALSE(c.GetFile("r.bin", path, -1)) << "the data ended early";
    ASSERT_TRUE(c.GetFile("r.bin", path, -1)) << c.m_szLastError;
    EXPECT_TRUE(ReadFile(local.filePath("r.bin")) == content);
    EXPECT_NE(std::strstr(c.m_szLastError, "350 Restarting at"), nullptr) << c.m_szLastError;
}

// auto speaks plain FTP to a server without TLS; explicit fails with the server's refusal.
TEST_F(TlsTest, AutoFallsBackToPlainExplicitDoesNot) {
    PyFtpServer server;
    ASSERT_TRUE(server.Started()) << server.Error().toStdString();
    CFTPClient plain;
    ASSERT_TRUE(Login(plain, server, Trusting(ftp::TlsMode::Auto, trusted))) << plain.m_szLastError;
    RoundTrip(plain, server, "plain.bin");
    CFTPClient refused;
    EXPECT_FALSE(Login(refused, server, Trusting(ftp::TlsMode::Explicit, trusted)));
    EXPECT_NE(std::strstr(refused.m_szLastError, "AUTH"), nullptr) << refused.m_szLastError;
}

// Once a server spoke TLS, "auto" refuses a session in which AUTH TLS is refused (a man in the
// middle stripping it) and sends nothing more; a server never seen with TLS is spoken to in
// plain text, with a warning.
TEST_F(TlsTest, AutoCannotBeStrippedOnceTheServerSpokeTls) {
    PyFtpServer server({QStringLiteral("--tls-cert"), trusted->PemFile()});
    ASSERT_TRUE(server.Started()) << server.Error().toStdString();
    static std::vector<std::string> sent;
    static std::vector<std::string> warnings;
    struct Hooks {
        Hooks() {
            sent.clear();
            warnings.clear();
            ftp::SetTraceHook([](bool out, const std::string& text) {
                if (out) {
                    sent.push_back(text);
                }
            });
            ftp::SetWarningHook([](const std::string& text) { warnings.push_back(text); });
        }
        ~Hooks() {
            ftp::SetTraceHook(nullptr);
            ftp::SetWarningHook(nullptr);
        }
    } hooks;
    const auto tls = Trusting(ftp::TlsMode::Auto, trusted);
    QTemporaryDir state;
    CFTPClient first;
    ASSERT_TRUE(Login(first, server, tls, ftp::DataMode::Passive, state.path()))
        << first.m_szLastError;
    EXPECT_TRUE(warnings.empty());

    server.Reset({"--strip-tls"});
    sent.clear();
    CFTPClient stripped;
    EXPECT_FALSE(Login(stripped, server, tls, ftp::DataMode::Passive, state.path()));
    EXPECT_STREQ(stripped.m_szLastError, "服务器曾支持TLS，本次未提供，可能遭到降级攻击");
    EXPECT_EQ(sent, std::vector<std::string>{"AUTH TLS"}) << "nothing in the clear after it";
    EXPECT_EQ(warnings.size(), 1u);

    warnings.clear();
    QTemporaryDir unknown;
    CFTPClient plain;
    Login(plain, server, tls, ftp::DataMode::Passive, unknown.path());
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("本次会话不加密"), std::string::npos) << warnings[0];
}

}  // namespace
