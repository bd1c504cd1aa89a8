// The FTP protocol layer's pure parts: replies, addresses, size and time texts.
#include <gtest/gtest.h>

#include "FtpEncoding.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <QTemporaryDir>

#include "FtpReply.h"
#include "FtpServerMemory.h"
#include "FtpSession.h"
#include "FtpSocket.h"
#include "Sha256.h"
#include "support/Files.h"

using korvane::test::ReadFile;

namespace {

using ftp::ReplyParser;

std::vector<ftp::Reply> ParseAll(std::string_view wire, bool* error = nullptr) {
    ReplyParser parser;
    std::vector<ftp::Reply> out;
    while (!wire.empty()) {
        std::size_t used = 0;
        const auto state = parser.Feed(wire, &used);
        wire.remove_prefix(used);
        if (state == ReplyParser::State::Complete) {
            out.push_back(parser.TakeReply());
        } else if (state == ReplyParser::State::Error) {
            if (error)
                *error = true;
            break;
        }
    }
    return out;
}

TEST(ReplyParser, SingleAndMultiLineReplies) {
    const auto replies = ParseAll(
        "220 ready\r\n"
        "211-Features:\r\n MDTM\r\n211 trailing text\r\n211 End\r\n"
        "230-Welcome\r\n230-more\r\n230 done\r\n"
        "200\r\n");
    ASSERT_EQ(replies.size(), 5u);
    EXPECT_EQ(replies[0].code, 220);
    EXPECT_EQ(replies[0].text, "220 ready\r\n");
    EXPECT_EQ(replies[1].code, 211);
    EXPECT_EQ(replies[1].text, "211-Features:\r\n MDTM\r\n211 trailing text\r\n");
    EXPECT_EQ(replies[2].text, "211 End\r\n") << "a line after the end starts a new reply";
    EXPECT_EQ(replies[3].text, "230-Welcome\r\n230-more\r\n230 done\r\n");
    EXPECT_EQ(replies[4].code, 200);
}

TEST(ReplyParser, RepliesSplitAcrossReadsAndBareLineFeeds) {
    ReplyParser parser;
    std::size_t used = 0;
    EXPECT_EQ(parser.Feed("150-Opening", &used), ReplyParser::State::NeedMore);
    EXPECT_EQ(parser.Feed(" data\n150 ", &used), ReplyParser::State::NeedMore);
    EXPECT_EQ(parser.Feed("ok (42 bytes)\n226 next", &used), ReplyParser::State::Complete);
    EXPECT_EQ(used, 14u) << "stops right after the complete reply";
    const auto reply = parser.TakeReply();
    EXPECT_EQ(reply.code, 150);
    EXPECT_EQ(ftp::SizeFromOpeningReply(reply.text), 42u);
}

TEST(ReplyParser, MalformedAndOversizedInputIsAnErrorNotACrash) {
    bool error = false;
    ParseAll("hello\r\n", &error);
    EXPECT_TRUE(error);
    error = false;
    ParseAll("22 short\r\n", &error);
    EXPECT_TRUE(error);
    error = false;
    ParseAll("220" + std::string(ReplyParser::kMaxLine + 10, 'x') + "\r\n", &error);
    EXPECT_TRUE(error);

    std::string big = "220-start\r\n";
    for (int i = 0; i < 2000; ++i)
        big += " filler line of text\r\n";
    big += "220 end\r\n";
    const auto replies = ParseAll(big);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_LE(replies[0].text.size(), ReplyParser::kMaxText + 2);

    const auto binary = ParseAll(std::string("550 \xff\xfe\x00\x80 bad\r\n", 15));
    ASSERT_EQ(binary.size(), 1u);
    EXPECT_EQ(binary[0].code, 550);
}

TEST(FtpAddress, HostAndPortForms) {
    std::string host;
    uint16_t port = 0;
    ASSERT_TRUE(ftp::SplitHostPort("ftp.example", host, port, 21));
    EXPECT_EQ(host, "ftp.example");
    EXPECT_EQ(port, 21);
    ASSERT_TRUE(ftp::SplitHostPort("10.1.2.3:2121", host, port, 21));
    EXPECT_EQ(host, "10.1.2.3");
    EXPECT_EQ(port, 2121);
    ASSERT_TRUE(ftp::SplitHostPort("[::1]:990", host, port, 21));
    EXPECT_EQ(host, "::1");
    EXPECT_EQ(port, 990);
    ASSERT_TRUE(ftp::SplitHostPort("fe80::1", host, port, 21));
    EXPECT_EQ(port, 21);
    for (const char* bad : {"h:", "h:0", "h:65536", "h:12a", "[::1", "[::1]x"}) {
        EXPECT_FALSE(ftp::SplitHostPort(bad, host, port, 21)) << bad;
    }
}

TEST(FtpAddress, PortAndEprtCommands) {
    sockaddr_storage s{};
    auto* in = reinterpret_cast<sockaddr_in*>(&s);
    in->sin_family = AF_INET;
    in->sin_port = htons(50000);
    inet_pton(AF_INET, "127.0.0.1", &in->sin_addr);
    EXPECT_EQ(ftp::PortCommand(s), "PORT 127,0,0,1,195,80");
    sockaddr_storage s6{};
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&s6);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(2121);
    inet_pton(AF_INET6, "::1", &in6->sin6_addr);
    EXPECT_EQ(ftp::PortCommand(s6), "EPRT |2|::1|2121|");
}

TEST(FtpTexts, SizesAndTimes) {
    EXPECT_EQ(ftp::SizeFromOpeningReply(
                  "150 Opening BINARY mode data connection for x (5368709120 bytes)."),
              5368709120ull);
    EXPECT_FALSE(ftp::SizeFromOpeningReply("150 File status okay."));
    EXPECT_FALSE(ftp::SizeFromOpeningReply("150 (12x bytes)"));
    EXPECT_EQ(ftp::TimeFromMdtm("20080301120000"), 1204372800);
    EXPECT_EQ(ftp::TimeFromMdtm("20080301120000.123"), 1204372800);
    EXPECT_FALSE(ftp::TimeFromMdtm("2008"));
    EXPECT_FALSE(ftp::TimeFromMdtm("20081301120000"));
}

TEST(NameCodec, GbkNamesRoundTripAndBadBytesBecomeReplacementCharacters) {
    const auto gbk = ftp::NameCodec::Open("GBK");
    ASSERT_NE(gbk, nullptr);
    std::string wire;
    ASSERT_TRUE(gbk->Encode("申请单.txt", &wire));
    EXPECT_EQ(wire, "\xC9\xEA\xC7\xEB\xB5\xA5.txt");
    EXPECT_EQ(gbk->Decode(wire), "申请单.txt");
    EXPECT_FALSE(gbk->Encode("\xF0\x9F\x98\x80.txt", &wire)) << "no emoji in GBK";
    EXPECT_EQ(gbk->Decode("550 \xC9\xEA\xFF x"), "550 申\xEF\xBF\xBD x");
    EXPECT_EQ(gbk->Decode("550 \xC9"), "550 \xEF\xBF\xBD") << "a cut character";
    EXPECT_EQ(ftp::NameCodec::Open("no-such-encoding"), nullptr);
}

// The restart rules against the words of the servers sites run.
TEST(Restart, RulesTakeTheServersWords) {
    using R = ftp::RestartRule;
    struct Row {
        const char* reply;
        bool strict, code, offset;
    };
    const Row rows[] = {
        {"350 Restarting at 241664.\r\n", true, true, true},  // pure-ftpd, pyftpdlib plain
        {"350 Restarting at 241664. Send STORE or RETRIEVE to initiate transfer\r\n", true, true,
         true},                                                              // proftpd
        {"350 Restart position accepted (241664).\r\n", false, true, true},  // vsftpd
        {"350 Restarting at position 241664.\r\n", false, true, true},       // pyftpdlib
        {"350 Ready for restart.\r\n", false, true, false},
        {"350 Restart position accepted (2416640).\r\n", false, true, false},
        {"350 Restart position accepted (1241664).\r\n", false, true, false},
        {"501 Invalid parameter.\r\n", false, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reply);
        const ftp::Reply reply{ftp::LeadingCode(row.reply).value_or(0), row.reply};
        EXPECT_EQ(ftp::Connection::RestartAccepted(reply, 241664, R::Strict), row.strict);
        EXPECT_EQ(ftp::Connection::RestartAccepted(reply, 241664, R::AnyCode350), row.code);
        EXPECT_EQ(ftp::Connection::RestartAccepted(reply, 241664, R::Offset), row.offset);
    }
}

// What one session learns of a server, the next one (of any process) knows; servers are told
// apart by host, ignoring case, and port.
TEST(ServerMemory, FactsPersistPerServer) {
    QTemporaryDir dir;
    const std::string folder = dir.filePath(QStringLiteral("state/telmaris")).toStdString();
    const auto key = ftp::ServerMemory::Key("FTP.site.example", 21);
    using F = ftp::ServerFact;
    ASSERT_TRUE(ftp::ServerMemory(folder).Remember(key, F::SpokeTls));
    ASSERT_TRUE(ftp::ServerMemory(folder).Remember(key, F::SpokeTls));
    const ftp::ServerMemory later(folder);
    EXPECT_TRUE(later.Knows(ftp::ServerMemory::Key("ftp.SITE.example", 21), F::SpokeTls));
    EXPECT_FALSE(later.Knows(key, F::ActiveFails));
    EXPECT_FALSE(later.Knows(ftp::ServerMemory::Key("ftp.site.example", 2121), F::SpokeTls));
    EXPECT_FALSE(later.Knows(ftp::ServerMemory::Key("ftp.site.example.org", 21), F::SpokeTls));
    ASSERT_TRUE(later.Remember(key, F::ActiveFails));
    EXPECT_TRUE(later.Knows(key, F::ActiveFails));
    EXPECT_EQ(ReadFile(QString::fromStdString(later.Path())),
              QByteArray("tls [ftp.site.example]:21\npassive [ftp.site.example]:21\n"));
    EXPECT_FALSE(ftp::ServerMemory("/proc/no-such-folder").Remember(key, F::SpokeTls));
}

// Blocks digested beside the caller, by its thread or by the caller when every buffer of the
// ring waits, make the digest of the whole stream in order, whatever the block sizes.
TEST(Sha256Behind, DigestsTheStreamInOrder) {
    std::string stream;
    ftp::Sha256 behind;
    {
        ftp::Sha256Behind hashing(behind, 4096, 2);
        for (std::size_t i = 0; i < 3000; ++i) {
            const std::size_t n = (i * 7919) % 4097;  // empty and full blocks among them
            char* block = hashing.Buffer();
            for (std::size_t k = 0; k < n; ++k) {
                block[k] = static_cast<char>(i + k * 31);
            }
            stream.append(block, n);
            hashing.Add(n);
        }
        hashing.Finish();
    }
    ftp::Sha256 whole;
    whole.Update(stream.data(), stream.size());
    EXPECT_EQ(behind.HexDigest(), whole.HexDigest());
}

}  // namespace
