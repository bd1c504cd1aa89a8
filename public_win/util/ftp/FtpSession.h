#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "FtpEncoding.h"
#include "FtpOptions.h"
#include "FtpReply.h"
#include "FtpServerMemory.h"
#include "FtpSocket.h"
#include "FtpTls.h"
#include "FtpTransport.h"
#include "FtpWaitBudget.h"

namespace ftp {

// How long active mode in "auto" waits for the server's opening reply and its connection before
// it takes passive mode: a server behind NAT or a firewall never connects back.
constexpr int kConnectBackWaitMs = 3000;

constexpr uint16_t kDefaultPort = 21;
constexpr std::size_t kMaxLastResponse = 1023;

class Connection;
class DataConnection;
class FileTransfer;

// What Session::Connect brings: a logged-in connection, or why there is none and the server's
// last reply where it answered.
struct Connected {
    std::unique_ptr<Connection> connection;
    Status failure;
    std::string response;
};

// An internet session: the settings its connections share.
class Session {
public:
    void SetTimeouts(const Timeouts& t) { timeouts_ = t; }
    void SetDataMode(DataMode mode) { mode_ = mode; }
    // "auto": UTF-8 (with OPTS UTF8 ON) when FEAT lists UTF8, else GBK; or a name iconv knows.
    void SetEncoding(const std::string& encoding) { encoding_ = encoding; }
    void SetTls(const TlsSettings& tls) { tls_ = tls; }
    // Where what a session learns of a server is kept for the next ones; null: nowhere.
    void SetMemory(std::shared_ptr<const ServerMemory> memory) { memory_ = std::move(memory); }

    // Opens the control connection to server ("host" or "host:port", port 21 by default, 990
    // for implicit TLS) and logs in; *cancel (optional) ends every wait of it and of the
    // connection's later calls.
    Connected Connect(const std::string& server, const std::string& user,
                      const std::string& password, const std::atomic<bool>* cancel = nullptr) const;

private:
    Timeouts timeouts_;
    DataMode mode_ = DataMode::Active;
    std::string encoding_ = "UTF-8";
    TlsSettings tls_;
    std::shared_ptr<const ServerMemory> memory_;
};

// Append: APPE, a store that continues the remote file from its end.
enum class Access { Read, Write, Append };

// A logged-in FTP control connection. Binary type for transfers; one transfer at a time.
// Like a handle of curl's, it keeps what its latest call learned: a call that reports failure
// (false, null, nullopt) leaves the reason in Failure() and the server's latest reply in
// LastResponse(); nothing is kept per thread.
class Connection {
public:
    // tls: null for plain FTP; else the context of the session, and mode says whether the
    // control connection still has to ask for it (explicit, auto) or runs it already (implicit).
    Connection(std::unique_ptr<Transport> control, const Timeouts& timeouts, DataMode mode,
               std::unique_ptr<TlsContext> tls = nullptr, TlsMode tlsMode = TlsMode::Off);
    ~Connection();

    const Status& Failure() const { return failure_; }
    // Restates the failure: a caller that retried names its whole wait, or its own reason.
    void SetFailure(Status failure) { failure_ = std::move(failure); }
    // Whether status is Ok; a failure is kept as the connection's.
    bool Keep(Status status);
    // The text of the server's latest reply (at most kMaxLastResponse bytes).
    const std::string& LastResponse() const { return response_; }
    // Set from any thread, *cancel ends the running call's wait within kCancelPollMs with
    // kErrCancelled; null: calls are not cancelled.
    void SetCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }
    // A wait of this connection: its bound (-1: the reply timeout), its purpose, the cancel.
    Wait WaitOf(int timeoutMs, const char* what) const;

    // Reads the greeting, secures the connection where the TLS mode asks for it, logs in, and
    // protects the data connections (PBSZ 0, PROT P) when TLS runs.
    bool Login(const std::string& user, const std::string& password);
    // The encoding of names from now on; false (kErrUnencodable) when iconv does not know it.
    bool ChooseEncoding(const std::string& encoding);
    // What the connection learns of its server is remembered in memory under key, and a lost
    // control connection is replaced by reconnect (a new session, logged in, passive).
    void SetMemory(std::shared_ptr<const ServerMemory> memory, std::string key);
    void SetReconnect(std::function<Connected(const std::atomic<bool>*)> reconnect) {
        reconnect_ = std::move(reconnect);
    }
    bool SetCurrentDirectory(const std::string& path);
    // Sends one command line and returns the server's final reply; nullopt when none came
    // (Failure() says why). A 4xx/5xx reply sets the failure kErrCommandFailed.
    std::optional<Reply> Command(const std::string& line);
    // SIZE and MDTM in binary type; nullopt when the server does not answer them.
    std::optional<uint64_t> FileSize(const std::string& name);
    std::optional<std::time_t> ModificationTime(const std::string& name);
    // Asks the server to start the next retrieval at offset; true when it accepted under rule.
    // A refusal leaves no marker behind: an acceptance in words the rule does not take is
    // cleared with REST 0, so the retrieval starts at 0.
    bool Restart(uint64_t offset, RestartRule rule);
    // Whether rule takes reply as the acceptance of a restart at offset.
    static bool RestartAccepted(const Reply& reply, uint64_t offset, RestartRule rule);
    // RETR (Read), STOR (Write) or APPE (Append) on a new data connection. knownSize is the remote
    // file's size where SIZE gave it; else the opening reply's "(N bytes)" is taken.
    std::unique_ptr<FileTransfer> OpenFile(const std::string& name, Access access,
                                           std::optional<uint64_t> knownSize = std::nullopt);
    // RNFR/RNTO; false with the server's reply as the last response.
    bool Rename(const std::string& from, const std::string& to);
    // Renames a store that went to a side name into place; on failure the side file is removed
    // and the rename's failure and reply are kept.
    bool PublishStored(const std::string& side, const std::string& name);
    bool Delete(const std::string& name);
    // The names in the current directory (NLST), in UTF-8, at most kMaxListingBytes of them;
    // a listed name with a folder part is left out. nullopt when the listing failed.
    std::optional<std::vector<std::string>> ListNames();
    static constexpr std::size_t kMaxListingBytes = 64u << 20;

    // Reads the next complete reply (1xx included) and records it as the last response;
    // timeoutMs -1 is the reply timeout, which bounds the whole reply, however many lines and
    // pieces it comes in.
    std::optional<Reply> ReadReply(int timeoutMs = -1);
    // Skips preliminary 1xx replies, all of them and the final one within the one bound.
    std::optional<Reply> ReadFinalReply(int timeoutMs = -1);

    DataMode Mode() const { return mode_; }
    int ControlFd() const { return control_->Fd(); }
    const Timeouts& GetTimeouts() const { return timeouts_; }

private:
    // Keeps the reply as the last response.
    void RecordResponse(const Reply& reply);
    // The bound of a reply, or of the preliminary replies and the final one together.
    struct ReplyWait {
        explicit ReplyWait(int ms) : budget(ms), boundMs(ms) {}
        WaitBudget budget;
        int boundMs;              // the whole wait, as a timeout names it
        bool lookedLate = false;  // the one look allowed once the budget is spent was taken
    };
    // The next reply, within what is left of the wait.
    std::optional<Reply> ReadReplyWithin(ReplyWait& wait);
    // Appends what the control connection brings within the wait to pending_; false (kept as
    // the failure) on a timeout, the end of the stream or an error.
    bool ReceiveReplyBytes(ReplyWait& wait);

    bool Send(const std::string& line);
    // The bytes of name in the session's encoding; nullopt (kErrUnencodable) when it has none.
    // A lookup (reading an existing file) takes the bytes it was found under.
    std::optional<std::string> WireName(const std::string& name, bool lookup = false);
    // Sends verb and name in the session's encoding; nullopt when the name has no bytes there
    // (nothing is sent) or no reply came.
    std::optional<Reply> NameCommand(const std::string& verb, const std::string& name,
                                     bool lookup = false);
    bool EnsureBinary();
    // The stream of a new data connection: TLS resuming the control connection's session when
    // the data are protected, else the socket as it is. Null with the failure kept.
    std::unique_ptr<Transport> DataStream(Socket socket);
    // AUTH TLS and the handshake; in auto mode a refusal leaves the session plain, unless the
    // server is remembered to have spoken TLS.
    bool StartTls();
    void Remember(ServerFact fact) const;
    // SIZE or MDTM of a name that a server without UTF8 does not know in GBK ("auto"), asked
    // again with the name's UTF-8 bytes; a name found so is read under those bytes from then on.
    std::optional<Reply> ProbeUtf8(const std::string& verb, const std::string& name,
                                   const std::optional<Reply>& reply);
    // Takes over the control connection of a new session after this one was lost, in the same
    // directory and with the restart marker set again.
    bool Reestablish();
    bool ProtectData();
    // One attempt in the given mode; *fallBack says that active mode failed in a way that
    // passive mode may mend (refused PORT/EPRT, 425, no connection from the server).
    // After active mode failed in "auto": the rest of the session passive, a control connection
    // still owing an answer replaced, the restart marker set again, the command sent again.
    std::unique_ptr<FileTransfer> OpenPassivelyAfterActive(
        const std::string& name, const std::string& command, Access access,
        std::optional<uint64_t> knownSize, std::optional<std::pair<uint64_t, RestartRule>> restart);
    std::unique_ptr<FileTransfer> OpenIn(bool passive, const std::string& command, Access access,
                                         std::optional<uint64_t> knownSize, bool* fallBack);
    // After the opening reply: the data connection, or null with *fallBack set where active
    // mode failed and the control connection is still in step (else lost_ is set).
    std::unique_ptr<Transport> Establish(DataConnection& data, bool passive, int waitMs,
                                         bool* fallBack);

    std::unique_ptr<Transport> control_;
    Timeouts timeouts_;
    DataMode mode_;
    std::unique_ptr<TlsContext> tls_;
    TlsMode tlsMode_;
    bool protected_ = false;  // PROT P: data connections run TLS
    ReplyParser parser_;
    std::string pending_;  // bytes received after the last complete reply
    bool binary_ = false;
    bool epsvRefused_ = false;          // PASV from then on
    std::unique_ptr<NameCodec> codec_;  // null: names and replies pass as UTF-8
    bool probeUtf8_ = false;            // "auto" chose GBK: a name not found is tried in UTF-8
    std::set<std::string> utf8Names_;   // names found only under their UTF-8 bytes
    std::shared_ptr<const ServerMemory> memory_;
    std::string key_;  // the server in memory_
    std::function<Connected(const std::atomic<bool>*)> reconnect_;
    Status failure_;
    std::string response_;
    const std::atomic<bool>* cancel_ = nullptr;
    bool lost_ = false;  // a reply was not received: it may still come, out of step
    std::string directory_;
    std::optional<std::pair<uint64_t, RestartRule>> restart_;  // the marker the next RETR uses
};

// One retrieval or store, from its opening reply to its final reply.
class FileTransfer {
public:
    FileTransfer(Connection& connection, std::unique_ptr<Transport> data,
                 std::optional<uint64_t> size);
    ~FileTransfer();

    // The remote file's size: the known size, else from the opening reply's "(N bytes)".
    std::optional<uint64_t> Size() const { return size_; }
    // Reads until n bytes or the end of the data (fill), or what arrived first (!fill), waiting
    // at most timeoutMs for each piece; false only when nothing could be read because of an
    // error or timeout (then *got is 0). A failure after some bytes is kept on the connection
    // all the same: the next read would meet it.
    bool Read(char* buffer, std::size_t n, std::size_t* got, int timeoutMs, bool fill = true);
    // Sends n bytes; *accepted says how many went out. False on error or timeout.
    bool Write(const char* buffer, std::size_t n, std::size_t* accepted, int timeoutMs);
    // Ends the data connection and reads the final reply, waiting at most replyTimeoutMs (-1:
    // the reply timeout); true when it is 2xx (and a store to a side name took its name). Once
    // only.
    bool Close(int replyTimeoutMs = -1);
    // A store that goes to side: once the server confirmed it, Close renames it to name.
    void PublishAs(std::string side, std::string name) {
        side_ = std::move(side);
        name_ = std::move(name);
    }

private:
    Connection& connection_;
    std::unique_ptr<Transport> data_;
    std::optional<uint64_t> size_;
    bool closed_ = false;
    std::string side_;
    std::string name_;
};

}  // namespace ftp
