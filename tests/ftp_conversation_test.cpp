// The FTP engine's decisions that depend on the control conversation alone, against a scripted
// server: which lines the client sends, and how each reply ends the operation.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "CFTPClient.h"
#include "FtpServerMemory.h"
#include "FtpSession.h"

namespace {

using ftp::Connection;

// What Receive gives when no byte comes within the wait.
ftp::Status TimeoutResult(const ftp::Wait& wait) {
    return ftp::Status::Timeout(wait.what, wait.timeoutMs);
}

// What the server does once a step's reply bytes are read: nothing more comes (a read times
// out), or it closes the connection (a read sees the end of the stream). Endless and Trickle
// send the last piece again and again, at once or one every kTricklePauseMs, as a server whose
// reply never ends; the script closes after kEndlessBytes or kTrickleLines of them, so that a
// client which would read for ever meets an end instead.
enum class Then { Silence, Close, Endless, Trickle };
constexpr std::size_t kEndlessBytes = 4u << 20;
constexpr int kTrickleLines = 150;
constexpr auto kTricklePauseMs = std::chrono::milliseconds(20);

// One exchange: the line the client must send ("" for the greeting, which comes before anything
// is sent; a final '*' takes any rest, as in "PASS *"), then the reply bytes, one piece a read.
struct Step {
    std::string expect;
    std::vector<std::string> reply = {};
    Then then = Then::Silence;
};

class ScriptedTransport final : public ftp::Transport {
public:
    ScriptedTransport(std::vector<Step> script, std::vector<std::string>* sent)
        : script_(std::move(script)), sent_(sent) {
        if (!script_.empty() && script_.front().expect.empty()) {
            current_ = 0;
            next_ = 1;
        }
    }

    ftp::Status Receive(char* buffer, std::size_t n, const ftp::Wait& wait,
                        std::size_t* got) override {
        *got = 0;
        if (current_ >= script_.size() || script_[current_].reply.empty()) {
            const bool closed = current_ < script_.size() && script_[current_].then == Then::Close;
            return closed ? ftp::Status() : TimeoutResult(wait);
        }
        Step& step = script_[current_];
        if (step.reply.size() == 1 && Repeats(step)) {
            return Repeat(step, buffer, n, got);
        }
        std::vector<std::string>& pieces = step.reply;
        const std::size_t k = std::min(n, pieces.front().size());
        pieces.front().copy(buffer, k);
        pieces.front().erase(0, k);
        if (pieces.front().empty()) {
            pieces.erase(pieces.begin());
        }
        *got = k;
        return ftp::Status();
    }

    ftp::Status Send(const char* data, std::size_t n, const ftp::Wait& /*wait*/,
                     std::size_t* sent) override {
        std::string line(data, n);
        EXPECT_TRUE(line.ends_with("\r\n")) << line;
        line.erase(line.find_last_not_of("\r\n") + 1);
        sent_->push_back(line);
        EXPECT_EQ(Unread(), "") << "before \"" << line << "\" was sent";
        if (next_ >= script_.size() || !Matches(script_[next_].expect, line)) {
            ADD_FAILURE() << "the client sent \"" << line << "\" where the script expects "
                          << (next_ < script_.size() ? "\"" + script_[next_].expect + "\""
                                                     : std::string("nothing more"));
            return ftp::Status::Of(ftp::kErrConnectionAborted);
        }
        current_ = next_++;
        if (sent != nullptr) {
            *sent = n;
        }
        return ftp::Status();
    }

    ftp::Status Finish(const ftp::Wait& /*wait*/) override { return ftp::Status(); }
    void SendNow(const char* /*data*/, std::size_t /*n*/) override {}  // QUIT at the end
    int Fd() const override { return -1; }

    // What of the script did not happen; empty when all of it did.
    std::string Unplayed() const {
        return next_ < script_.size() ? "\"" + script_[next_].expect + "\" was never sent"
                                      : Unread();
    }

private:
    static bool Repeats(const Step& step) {
        return step.then == Then::Endless || step.then == Then::Trickle;
    }
    // The last piece once more, whole; the end of the stream once the script has had enough.
    ftp::Status Repeat(Step& step, char* buffer, std::size_t n, std::size_t* got) {
        const std::string& piece = step.reply.front();
        ++repeated_;
        if (step.then == Then::Trickle) {
            std::this_thread::sleep_for(kTricklePauseMs);  // the server's own pace
        }
        const bool enough = step.then == Then::Trickle ? repeated_ > kTrickleLines
                                                       : repeated_ * piece.size() > kEndlessBytes;
        if (enough || piece.size() > n) {
            step.reply.clear();
            step.then = Then::Close;
            return ftp::Status();
        }
        piece.copy(buffer, piece.size());
        *got = piece.size();
        return ftp::Status();
    }
    static bool Matches(const std::string& expect, const std::string& line) {
        return expect.ends_with('*') ? line.starts_with(expect.substr(0, expect.size() - 1))
                                     : line == expect;
    }
    std::string Unread() const {
        const bool left = current_ < script_.size() && !script_[current_].reply.empty() &&
                          !Repeats(script_[current_]);
        return left ? "the reply bytes \"" + script_[current_].reply.front() + "\" were not read"
                    : std::string();
    }

    std::vector<Step> script_;
    std::vector<std::string>* sent_;
    std::size_t current_ = std::string::npos;  // the step whose reply is being read
    std::size_t next_ = 0;                     // the step the next line sent must match
    std::size_t repeated_ = 0;                 // pieces an Endless or Trickle step sent
};

const std::string kPassword = "s3cret";
const Step kReady{"", {"220 Ready.\r\n"}};
const Step kUser{"USER anna", {"331 Password required for anna.\r\n"}};
const Step kPass{"PASS *", {"230 Logged in.\r\n"}};
const Step kBinary{"TYPE I", {"200 Type set to I.\r\n"}};
// 申请单.txt: GBK and UTF-8 bytes.
const std::string kGbkName = "\xC9\xEA\xC7\xEB\xB5\xA5.txt";
const std::string kUtf8Name = "申请单.txt";
const std::string kFeatWithoutUtf8 = "211-Features:\r\n MDTM\r\n SIZE\r\n211 End\r\n";

using Run = std::function<bool(Connection&)>;

Run Login(const std::string& user = "anna") {
    return [user](Connection& c) { return c.Login(user, kPassword); };
}
Run Restart(ftp::RestartRule rule) {
    return [rule](Connection& c) { return c.Restart(4096, rule); };
}
bool Completed(const std::optional<ftp::Reply>& reply) {
    return reply && reply->Completion();
}
Run ListNames() {
    return [](Connection& c) { return c.ListNames().has_value(); };
}

// An auto TLS session with a server that spoke TLS before.
void RememberTls(Connection& c) {
    auto memory = std::make_shared<ftp::ServerMemory>(ftp::ServerMemory::DefaultFolder());
    const std::string key = ftp::ServerMemory::Key("spoke-tls.example", 21);
    ASSERT_TRUE(memory->Remember(key, ftp::ServerFact::SpokeTls));
    c.SetMemory(memory, key);
}

struct Case {
    const char* name = "";
    ftp::DataMode mode = ftp::DataMode::Passive;
    ftp::TlsMode tls = ftp::TlsMode::Off;  // never with a TLS context: no handshake here
    ftp::Timeouts timeouts = {};
    std::function<void(Connection&)> setup = {};
    Run run = {};
    // Instead of run: a client over the connection, and the last error it then reports.
    std::function<bool(CFTPClient&)> client = {};
    std::string error = {};
    std::vector<Step> script = {};
    bool ok = false;
    int code = 0;  // the failure code after an operation that failed
    std::vector<std::string> sent = {};
    std::string lastReply = {};  // how the last reply starts; empty: not looked at
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

std::vector<Case> LoginCases() {
    using namespace ftp;
    return {
        {.name = "Login_PasswordAfter331",
         .run = Login(),
         .script = {kReady, kUser, kPass},
         .ok = true,
         .sent = {"USER anna", "PASS s3cret"}},
        {.name = "Login_230ToUserNeedsNoPassword",
         .run = Login(),
         .script = {kReady, {"USER anna", {"230 Welcome.\r\n"}}},
         .ok = true,
         .sent = {"USER anna"}},
        {.name = "Login_530ToPassIsALoginFailure",
         .run = Login(),
         .script = {kReady, kUser, {"PASS *", {"530 Login incorrect.\r\n"}}},
         .code = kErrLoginFailure,
         .sent = {"USER anna", "PASS s3cret"},
         .lastReply = "530 Login incorrect."},
        {.name = "Login_530ToUserSendsNoPassword",
         .run = Login(),
         .script = {kReady, {"USER anna", {"530 Not allowed.\r\n"}}},
         .code = kErrLoginFailure,
         .sent = {"USER anna"}},
        {.name = "Login_332AccountNeededIsALoginFailure",
         .run = Login(),
         .script = {kReady, kUser, {"PASS *", {"332 Need account for login.\r\n"}}},
         .code = kErrLoginFailure,
         .sent = {"USER anna", "PASS s3cret"}},
        {.name = "Login_421ToPassIsNoLoginFailure",
         .run = Login(),
         .script = {kReady, kUser, {"PASS *", {"421 Too many connections.\r\n"}}},
         .code = kErrCannotConnect,
         .sent = {"USER anna", "PASS s3cret"}},
        {.name = "Login_120BeforeTheGreetingIsWaitedOut",
         .run = Login(),
         .script = {{"", {"120 Ready in 2 minutes.\r\n", "220 Ready.\r\n"}}, kUser, kPass},
         .ok = true,
         .sent = {"USER anna", "PASS s3cret"}},
        {.name = "Login_421GreetingSendsNothing",
         .run = Login(),
         .script = {{"", {"421 Too many users.\r\n"}}},
         .code = kErrCannotConnect,
         .lastReply = "421 Too many users."},
        {.name = "Login_MultiLineGreetingSplitAcrossReads",
         .run = Login(),
         .script = {{"", {"220-Welcome to", " the site\r\n220-Second", " line\r\n220 Ready\r\n"}},
                    kUser,
                    kPass},
         .ok = true,
         .sent = {"USER anna", "PASS s3cret"}},
        {.name = "Login_GreetingWithoutACodeIsAProtocolError",
         .run = Login(),
         .script = {{"", {"SSH-2.0-OpenSSH_9.2\r\n"}}},
         .code = kErrProtocol},
        {.name = "Login_UnfinishedGreetingIsATimeout",
         .run = Login(),
         .script = {{"", {"220 Rea"}}},
         .code = kErrTimeout},
        {.name = "Login_ClosedAtOnceIsAnAbortedConnection",
         .run = Login(),
         .script = {{"", {}, Then::Close}},
         .code = kErrConnectionAborted},
        {.name = "Login_UserWithALineBreakIsNeverSent",
         .run = Login("anna\r\nDELE x"),
         .script = {kReady},
         .code = kErrBadName},
        {.name = "Tls_ExplicitRefusedEndsBeforeTheUser",
         .tls = TlsMode::Explicit,
         .run = Login(),
         .script = {kReady, {"AUTH TLS", {"500 AUTH not understood.\r\n"}}},
         .code = kErrSecureChannel,
         .sent = {"AUTH TLS"},
         .lastReply = "500 AUTH"},
        {.name = "Tls_AcceptedWithoutAContextSendsNothingMore",
         .tls = TlsMode::Explicit,
         .run = Login(),
         .script = {kReady, {"AUTH TLS", {"234 Proceed.\r\n"}}},
         .code = kErrSecureChannel,
         .sent = {"AUTH TLS"}},
        {.name = "Tls_AutoRefusedStaysPlain",
         .tls = TlsMode::Auto,
         .run = Login(),
         .script = {kReady, {"AUTH TLS", {"500 AUTH not understood.\r\n"}}, kUser, kPass},
         .ok = true,
         .sent = {"AUTH TLS", "USER anna", "PASS s3cret"}},
        {.name = "Tls_AutoRefusedByAServerThatSpokeTlsSendsNoPassword",
         .tls = TlsMode::Auto,
         .setup = RememberTls,
         .run = Login(),
         .script = {kReady, {"AUTH TLS", {"500 AUTH not understood.\r\n"}}},
         .code = kErrSecureChannel,
         .sent = {"AUTH TLS"}},
    };
}

std::vector<Case> RestartCases() {
    using namespace ftp;
    using R = RestartRule;
    const Step vsftpd{"REST 4096", {"350 Restart position accepted (4096).\r\n"}};
    const Step cleared{"REST 0", {"350 Restart position accepted (0).\r\n"}};
    return {
        {.name = "Restart_StrictTakesRestartingAt",
         .run = Restart(R::Strict),
         .script = {{"REST 4096", {"350 Restarting at 4096. Send STORE or RETRIEVE.\r\n"}}},
         .ok = true,
         .sent = {"REST 4096"}},
        {.name = "Restart_StrictClearsOtherWordsWithRest0",
         .run = Restart(R::Strict),
         .script = {vsftpd, cleared},
         .sent = {"REST 4096", "REST 0"},
         .lastReply = "350 Restart position accepted (4096)."},
        {.name = "Restart_AnyCode350TakesOtherWords",
         .run = Restart(R::AnyCode350),
         .script = {vsftpd},
         .ok = true,
         .sent = {"REST 4096"}},
        {.name = "Restart_OffsetTakesTheNumber",
         .run = Restart(R::Offset),
         .script = {vsftpd},
         .ok = true,
         .sent = {"REST 4096"}},
        {.name = "Restart_OffsetClearsAnotherNumber",
         .run = Restart(R::Offset),
         .script = {{"REST 4096", {"350 Restart position accepted (40960).\r\n"}}, cleared},
         .sent = {"REST 4096", "REST 0"}},
        // The marker may still hold: a retrieval would write the file's tail at its start.
        {.name = "Restart_UnclearedMarkerStopsTheSession",
         .run =
             [](Connection& c) {
                 c.Restart(4096, R::Strict);
                 return c.Command("RETR a").has_value();
             },
         .script = {vsftpd, {"REST 0", {"502 Not now.\r\n"}}},
         .code = kErrConnectionAborted,
         .sent = {"REST 4096", "REST 0"}},
        {.name = "Restart_RefusedNeedsNoClearing",
         .run = Restart(R::AnyCode350),
         .script = {{"REST 4096", {"502 Command not implemented.\r\n"}}},
         .code = kErrCommandFailed,
         .sent = {"REST 4096"}},
        {.name = "Restart_NoReplyIsATimeout",
         .run = Restart(R::AnyCode350),
         .script = {{"REST 4096"}},
         .code = kErrTimeout,
         .sent = {"REST 4096"}},
    };
}

std::vector<Case> FileCases() {
    using namespace ftp;
    return {
        {.name = "Size_InBinaryTypeBeyond4GiB",
         .run = [](Connection& c) { return c.FileSize("big.iso") == 5368709120u; },
         .script = {kBinary, {"SIZE big.iso", {"213 5368709120\r\n"}}},
         .ok = true,
         .sent = {"TYPE I", "SIZE big.iso"}},
        {.name = "Size_TypeIOnceASession",
         .run = [](Connection& c) { return c.FileSize("a") == 1u && c.FileSize("b") == 22u; },
         .script = {kBinary, {"SIZE a", {"213 1\r\n"}}, {"SIZE b", {"2", "13 2", "2\r\n"}}},
         .ok = true,
         .sent = {"TYPE I", "SIZE a", "SIZE b"}},
        {.name = "Size_TypeIRefusedAsksNoSize",
         .run = [](Connection& c) { return c.FileSize("a").has_value(); },
         .script = {{"TYPE I", {"504 Type not supported.\r\n"}}},
         .code = kErrCommandFailed,
         .sent = {"TYPE I"}},
        {.name = "Size_550GivesNoSize",
         .run = [](Connection& c) { return c.FileSize("gone").has_value(); },
         .script = {kBinary, {"SIZE gone", {"550 gone: No such file.\r\n"}}},
         .code = kErrCommandFailed,
         .sent = {"TYPE I", "SIZE gone"},
         .lastReply = "550 gone"},
        {.name = "Size_ThatIsNoNumberGivesNoSize",
         .run = [](Connection& c) { return c.FileSize("a").has_value(); },
         .script = {kBinary, {"SIZE a", {"213 12 bytes\r\n"}}},
         .sent = {"TYPE I", "SIZE a"}},
        {.name = "Mdtm_ParsedAsUtcWithoutTypeI",
         .run = [](Connection& c) { return c.ModificationTime("a") == std::time_t{1204372800}; },
         .script = {{"MDTM a", {"213 20080301120000\r\n"}}},
         .ok = true,
         .sent = {"MDTM a"}},
        {.name = "Mdtm_550GivesNoTime",
         .run = [](Connection& c) { return c.ModificationTime("a").has_value(); },
         .script = {{"MDTM a", {"550 a: No such file.\r\n"}}},
         .code = kErrCommandFailed,
         .sent = {"MDTM a"}},
        {.name = "Rename_RnfrThenRnto",
         .run = [](Connection& c) { return c.Rename("a", "b"); },
         .script = {{"RNFR a", {"350 Ready for RNTO.\r\n"}}, {"RNTO b", {"250 Renamed.\r\n"}}},
         .ok = true,
         .sent = {"RNFR a", "RNTO b"}},
        {.name = "Rename_RnfrRefusedSendsNoRnto",
         .run = [](Connection& c) { return c.Rename("a", "b"); },
         .script = {{"RNFR a", {"550 a: No such file.\r\n"}}},
         .code = kErrCommandFailed,
         .sent = {"RNFR a"}},
        {.name = "Rename_RnfrAnsweredWithout350SendsNoRnto",
         .run = [](Connection& c) { return c.Rename("a", "b"); },
         .script = {{"RNFR a", {"250 Ok.\r\n"}}},
         .code = kErrCommandFailed,
         .sent = {"RNFR a"},
         .lastReply = "250 Ok."},
        {.name = "Rename_RntoRefused",
         .run = [](Connection& c) { return c.Rename("a", "b"); },
         .script = {{"RNFR a", {"350 Ready.\r\n"}}, {"RNTO b", {"553 Not allowed.\r\n"}}},
         .code = kErrCommandFailed,
         .sent = {"RNFR a", "RNTO b"},
         .lastReply = "553 Not allowed."},
        {.name = "Delete_250",
         .run = [](Connection& c) { return c.Delete("a"); },
         .script = {{"DELE a", {"250 Deleted.\r\n"}}},
         .ok = true,
         .sent = {"DELE a"}},
        {.name = "Delete_550",
         .run = [](Connection& c) { return c.Delete("a"); },
         .script = {{"DELE a", {"550 a: Permission denied.\r\n"}}},
         .code = kErrCommandFailed,
         .sent = {"DELE a"}},
        {.name = "Cwd_550",
         .run = [](Connection& c) { return c.SetCurrentDirectory("/in"); },
         .script = {{"CWD /in", {"550 /in: No such directory.\r\n"}}},
         .code = kErrCommandFailed,
         .sent = {"CWD /in"}},
    };
}

std::vector<Case> NameCases() {
    using namespace ftp;
    return {
        {.name = "BadName_DeleteSendsNothing",
         .run = [](Connection& c) { return c.Delete("a\r\nRMD /"); },
         .code = kErrBadName},
        {.name = "BadName_OpenFileSendsNothingNotEvenTypeI",
         .run = [](Connection& c) { return c.OpenFile("a\nb", Access::Read) != nullptr; },
         .code = kErrBadName},
        {.name = "BadName_CwdSendsNothing",
         .run = [](Connection& c) { return c.SetCurrentDirectory("/in\nDELE a"); },
         .code = kErrBadName},
        {.name = "BadName_CommandSendsNothing",
         .run = [](Connection& c) { return c.Command("NOOP\r\nDELE a").has_value(); },
         .code = kErrBadName},
        // A refused RNTO would leave a rename pending on the server.
        {.name = "BadName_RenameTargetRefusedBeforeRnfr",
         .run = [](Connection& c) { return c.Rename("a", "b\r\nDELE a"); },
         .code = kErrBadName},
        {.name = "Encoding_Utf8ListedIsSwitchedOn",
         .run = [](Connection& c) { return c.ChooseEncoding("UTF-8"); },
         .script = {{"FEAT", {"211-Features:\r\n UTF8\r\n211 End\r\n"}},
                    {"OPTS UTF8 ON", {"200 Always in UTF8 mode.\r\n"}}},
         .ok = true,
         .sent = {"FEAT", "OPTS UTF8 ON"}},
        {.name = "Encoding_FeatRefusedKeepsUtf8WithoutOpts",
         .run = [](Connection& c) { return c.ChooseEncoding("UTF-8"); },
         .script = {{"FEAT", {"500 FEAT not understood.\r\n"}}},
         .ok = true,
         .sent = {"FEAT"}},
        {.name = "Encoding_UnknownSendsNothing",
         .run = [](Connection& c) { return c.ChooseEncoding("no-such-encoding"); },
         .code = kErrUnencodable},
        {.name = "Encoding_AutoWithoutUtf8SendsAndReadsGbk",
         .run = [](Connection& c) { return c.ChooseEncoding("auto") && c.Delete(kUtf8Name); },
         .script = {{"FEAT", {kFeatWithoutUtf8}},
                    {"DELE " + kGbkName, {"550 " + kGbkName + ": No such file.\r\n"}}},
         .code = kErrCommandFailed,
         .sent = {"FEAT", "DELE " + kGbkName},
         .lastReply = "550 " + kUtf8Name + ": No such file."},
        {.name = "Encoding_AutoFindsAUtf8NameAndKeepsIt",
         .run =
             [](Connection& c) {
                 return c.ChooseEncoding("auto") && c.FileSize(kUtf8Name) == 7u &&
                        c.FileSize(kUtf8Name) == 7u;
             },
         .script = {{"FEAT", {kFeatWithoutUtf8}},
                    kBinary,
                    {"SIZE " + kGbkName, {"550 Not found.\r\n"}},
                    {"SIZE " + kUtf8Name, {"213 7\r\n"}},
                    {"SIZE " + kUtf8Name, {"213 7\r\n"}}},
         .ok = true,
         .sent = {"FEAT", "TYPE I", "SIZE " + kGbkName, "SIZE " + kUtf8Name, "SIZE " + kUtf8Name}},
        {.name = "Encoding_AutoReportsTheGbkNamesRefusal",
         .run =
             [](Connection& c) {
                 return c.ChooseEncoding("auto") && c.FileSize(kUtf8Name).has_value();
             },
         .script = {{"FEAT", {kFeatWithoutUtf8}},
                    kBinary,
                    {"SIZE " + kGbkName, {"550 Not found (GBK).\r\n"}},
                    {"SIZE " + kUtf8Name, {"550 Not found (UTF-8).\r\n"}}},
         .code = kErrCommandFailed,
         .sent = {"FEAT", "TYPE I", "SIZE " + kGbkName, "SIZE " + kUtf8Name},
         .lastReply = "550 Not found (GBK)."},
        {.name = "Encoding_GbkNameWithoutBytesSendsNothing",
         .run =
             [](Connection& c) { return c.ChooseEncoding("GBK") && c.Delete("\xF0\x9F\x98\x80"); },
         .code = kErrUnencodable},
    };
}

std::vector<Case> SessionCases() {
    using namespace ftp;
    return {
        {.name = "Command_421MidSession",
         .run = [](Connection& c) { return Completed(c.Command("NOOP")); },
         .script = {{"NOOP", {"421 Timeout.\r\n"}}},
         .code = kErrCommandFailed,
         .sent = {"NOOP"},
         .lastReply = "421 Timeout."},
        {.name = "Command_AfterTheServerClosedNothingMoreIsSent",
         .run =
             [](Connection& c) {
                 c.Command("NOOP");
                 c.Command("PWD");
                 return c.Command("SYST").has_value();
             },
         .script = {{"NOOP", {"421 Closing.\r\n"}}, {"PWD", {}, Then::Close}},
         .code = kErrConnectionAborted,
         .sent = {"NOOP", "PWD"}},
        {.name = "Command_AfterATimeoutNothingMoreIsSent",
         .run =
             [](Connection& c) {
                 c.FileSize("a");
                 return c.Delete("a");
             },
         .script = {kBinary, {"SIZE a"}},
         .code = kErrConnectionAborted,
         .sent = {"TYPE I", "SIZE a"}},
        // A reply is bounded as a whole: by its size when it comes fast, by the reply timeout
        // when it trickles, however many lines or preliminary replies it is made of.
        {.name = "Reply_EndlessContinuationIsAProtocolErrorAtItsSizeBound",
         .run = [](Connection& c) { return c.Command("STAT").has_value(); },
         .script = {{"STAT", {"211-Status\r\n", " and more\r\n"}, Then::Endless}},
         .code = kErrProtocol,
         .sent = {"STAT"}},
        {.name = "Reply_TricklingGreetingEndsAtTheReplyTimeout",
         .timeouts = {.replyMs = 300},
         .run = Login(),
         .script = {{"", {"220-Welcome\r\n"}, Then::Trickle}},
         .code = kErrTimeout},
        {.name = "Reply_TricklingPreliminaryRepliesShareTheReplyTimeout",
         .timeouts = {.replyMs = 300},
         .run = [](Connection& c) { return c.Command("SITE UTIME a").has_value(); },
         .script = {{"SITE UTIME a", {"110 Wait.\r\n"}, Then::Trickle}},
         .code = kErrTimeout,
         .sent = {"SITE UTIME a"}},
        {.name = "Command_ReplyWithoutACodeIsAProtocolError",
         .run = [](Connection& c) { return c.Command("NOOP").has_value(); },
         .script = {{"NOOP", {"OK\r\n"}}},
         .code = kErrProtocol,
         .sent = {"NOOP"}},
        {.name = "Command_PreliminaryRepliesAreSkipped",
         .run = [](Connection& c) { return Completed(c.Command("SITE UTIME a")); },
         .script = {{"SITE UTIME a", {"110 Wait.\r\n200 Done.\r\n"}}},
         .ok = true,
         .sent = {"SITE UTIME a"}},
        {.name = "Passive_EpsvRefusedThenPasvRefused",
         .run = ListNames(),
         .script = {kBinary,
                    {"EPSV", {"500 EPSV not understood.\r\n"}},
                    {"PASV", {"502 Not implemented.\r\n"}}},
         .code = kErrCommandFailed,
         .sent = {"TYPE I", "EPSV", "PASV"}},
        {.name = "Passive_EpsvRefusedOnceIsNotAskedAgain",
         .run =
             [](Connection& c) {
                 c.ListNames();
                 return c.ListNames().has_value();
             },
         .script = {kBinary,
                    {"EPSV", {"500 EPSV not understood.\r\n"}},
                    {"PASV", {"502 Not implemented.\r\n"}},
                    {"PASV", {"502 Not implemented.\r\n"}}},
         .code = kErrCommandFailed,
         .sent = {"TYPE I", "EPSV", "PASV", "PASV"}},
        {.name = "Passive_UnreadableEpsvFallsBackToPasvWithoutAnAddress",
         .run = ListNames(),
         .script = {kBinary,
                    {"EPSV", {"229 Entering Extended Passive Mode (|||0|)\r\n"}},
                    {"PASV", {"227 Entering Passive Mode (127,0,0,1,0,0)\r\n"}}},
         .code = kErrProtocol,
         .sent = {"TYPE I", "EPSV", "PASV"}},
    };
}

// What the client makes of the conversation: the reason it reports is the failed step's own,
// never an earlier command's reply.
std::vector<Case> ClientCases() {
    using namespace ftp;
    const Timeouts second{.replyMs = 1000};
    const Step sized{"SIZE a.part", {"213 500000\r\n"}};
    const auto publish = [](CFTPClient& c) {
        return c.RemoteSize("a.part") && c.Publish("a.part", "a");
    };
    return {
        {.name = "Publish_RnfrTimedOutIsATimeoutNotARefusal",
         .timeouts = second,
         .client = publish,
         .error = "等待服务器应答超时（1秒）",
         .script = {kBinary, sized, {"RNFR a.part"}},
         .code = kErrTimeout,
         .sent = {"TYPE I", "SIZE a.part", "RNFR a.part"}},
        {.name = "Publish_RntoTimedOutIsATimeoutNotARefusal",
         .timeouts = second,
         .client = publish,
         .error = "等待服务器应答超时（1秒）",
         .script = {kBinary, sized, {"RNFR a.part", {"350 Ready.\r\n"}}, {"RNTO a"}},
         .code = kErrTimeout,
         .sent = {"TYPE I", "SIZE a.part", "RNFR a.part", "RNTO a"}},
        {.name = "Publish_MovingAsideTimedOutIsATimeout",
         .timeouts = second,
         .client = publish,
         .error = "等待服务器应答超时（1秒）",
         .script = {kBinary,
                    sized,
                    {"RNFR a.part", {"350 Ready.\r\n"}},
                    {"RNTO a", {"553 Target exists.\r\n"}},
                    {"SIZE a", {"213 7\r\n"}},
                    {"RNFR a"}},
         .code = kErrTimeout,
         .sent = {"TYPE I", "SIZE a.part", "RNFR a.part", "RNTO a", "SIZE a", "RNFR a"}},
        {.name = "Publish_RefusedKeepsTheServersRefusal",
         .client = publish,
         .error = "服务器不允许改名(550 Rename not allowed.\r\n)，原文件保持不变。如该服务器不"
                  "允许改名，请把系统参数korvane_ftp_upload设为direct。",
         .script = {kBinary,
                    sized,
                    {"RNFR a.part", {"550 Rename not allowed.\r\n"}},
                    {"SIZE a", {"550 a: No such file.\r\n"}}},
         .code = kErrCommandFailed,
         .sent = {"TYPE I", "SIZE a.part", "RNFR a.part", "SIZE a"}},
        {.name = "RemoveFile_TimedOutIsATimeout",
         .timeouts = second,
         .client = [](CFTPClient& c) { return c.RemoteSize("a.part") && c.RemoveFile("a.part"); },
         .error = "等待服务器应答超时（1秒）",
         .script = {kBinary, sized, {"DELE a.part"}},
         .code = kErrTimeout,
         .sent = {"TYPE I", "SIZE a.part", "DELE a.part"}},
    };
}

std::vector<Case> Cases() {
    std::vector<Case> all;
    for (auto group : {LoginCases, RestartCases, FileCases, NameCases, SessionCases, ClientCases}) {
        std::vector<Case> cases = group();
        std::move(cases.begin(), cases.end(), std::back_inserter(all));
    }
    return all;
}

std::vector<std::string> gTraced;  // the lines sent as the trace hook sees them

void Collect(bool sent, const std::string& text) {
    if (sent) {
        gTraced.push_back(text);
    }
}

class FtpConversation : public ::testing::TestWithParam<Case> {};

TEST_P(FtpConversation, ClientSendsAndDecidesAsTheTableSays) {
    const Case& c = GetParam();
    ftp::SetTraceHook(Collect);
    gTraced.clear();
    std::vector<std::string> sent;
    auto owned = std::make_unique<ScriptedTransport>(c.script, &sent);
    const ScriptedTransport* transport = owned.get();
    auto made = std::make_unique<Connection>(std::move(owned), c.timeouts, c.mode, nullptr, c.tls);
    Connection& connection = *made;
    if (c.setup) {
        ASSERT_NO_FATAL_FAILURE(c.setup(connection));
    }
    CFTPClient client;
    if (c.client) {
        client.m_hConnect = std::move(made);
        EXPECT_EQ(c.client(client), c.ok);
        EXPECT_EQ(client.m_nLastErrorCode, c.code);
        EXPECT_EQ(std::string(client.m_szLastError), c.error);
    } else {
        EXPECT_EQ(c.run(connection), c.ok);
    }
    EXPECT_EQ(connection.Failure().code, c.code) << "a success leaves no failure behind";
    EXPECT_EQ(sent, c.sent);
    EXPECT_EQ(transport->Unplayed(), "");
    if (!c.lastReply.empty()) {
        EXPECT_TRUE(connection.LastResponse().starts_with(c.lastReply))
            << connection.LastResponse();
    }
    EXPECT_EQ(gTraced.size(), sent.size()) << "every line sent is traced";
    for (const std::string& line : gTraced) {
        EXPECT_EQ(line.find(kPassword), std::string::npos) << line;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, FtpConversation, ::testing::ValuesIn(Cases()),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
