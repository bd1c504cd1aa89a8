#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "FtpReply.h"
#include "FtpSocket.h"

namespace ftp {

// How long each kind of network wait may last.
struct Timeouts {
    int connectMs = 60000;
    int replyMs = 60000;
    int acceptMs = 60000;
    int readMs = 60000;
    int writeMs = 60000;
};

constexpr uint16_t kDefaultPort = 21;
constexpr std::size_t kMaxLastResponse = 1023;

// The text of the last server reply received on the calling thread (at most 1023 bytes).
const std::string& LastResponse();
void ClearLastResponse();

class Connection;
class FileTransfer;

// An internet session: the settings its connections share.
class Session {
public:
    void SetTimeouts(const Timeouts& t) { timeouts_ = t; }
    const Timeouts& GetTimeouts() const { return timeouts_; }

    // Opens the control connection to server ("host" or "host:port", port 21 by default) and
    // logs in. Null on failure, with LastError set and, where the server answered, its reply
    // as the last response.
    std::unique_ptr<Connection> Connect(const std::string& server, const std::string& user,
                                        const std::string& password) const;

private:
    Timeouts timeouts_;
};

enum class Access { Read, Write };

// A logged-in FTP control connection. Active-mode data connections only; binary type for
// transfers. One transfer at a time.
class Connection {
public:
    Connection(Socket control, const Timeouts& timeouts);
    ~Connection();

    bool Login(const std::string& user, const std::string& password);
    bool SetCurrentDirectory(const std::string& path);
    // Sends one command line and reads its reply; true unless the reply is 4xx/5xx.
    bool Command(const std::string& line);
    // SIZE and MDTM in binary type; nullopt when the server does not answer them.
    std::optional<uint64_t> FileSize(const std::string& name);
    std::optional<std::time_t> ModificationTime(const std::string& name);
    // RETR (Read) or STOR (Write) on a new data connection.
    std::unique_ptr<FileTransfer> OpenFile(const std::string& name, Access access);

    // Reads the next complete reply (1xx included) and records it as the last response.
    std::optional<Reply> ReadReply();
    // Skips preliminary 1xx replies.
    std::optional<Reply> ReadFinalReply();

private:
    bool Send(const std::string& line);
    std::optional<Reply> Exchange(const std::string& line);
    bool EnsureBinary();

    Socket control_;
    Timeouts timeouts_;
    ReplyParser parser_;
    std::string pending_;  // bytes received after the last complete reply
    bool binary_ = false;
    std::string sizeName_;  // the file whose SIZE was asked last, and its answer
    std::optional<uint64_t> sizeValue_;
};

// One retrieval or store, from its opening reply to its final reply.
class FileTransfer {
public:
    FileTransfer(Connection& connection, Socket data, const Timeouts& timeouts,
                 std::optional<uint64_t> size);
    ~FileTransfer();

    // The remote file's size: from SIZE, else from the opening reply's "(N bytes)".
    std::optional<uint64_t> Size() const { return size_; }
    // Reads until n bytes or the end of the data; false only when nothing could be read
    // because of an error or timeout (then *got is 0).
    bool Read(char* buffer, std::size_t n, std::size_t* got);
    // Sends n bytes; *accepted says how many went out. False on error or timeout.
    bool Write(const char* buffer, std::size_t n, std::size_t* accepted);
    // Ends the data connection and reads the final reply; true when it is 2xx. Once only.
    bool Close();

private:
    Connection& connection_;
    Socket data_;
    Timeouts timeouts_;
    std::optional<uint64_t> size_;
    bool closed_ = false;
};

// Parses "(1234 bytes)" out of an opening reply.
std::optional<uint64_t> SizeFromOpeningReply(const std::string& text);
// Parses an MDTM reply's "YYYYMMDDhhmmss" (UTC).
std::optional<std::time_t> TimeFromMdtm(const std::string& text);

}  // namespace ftp
