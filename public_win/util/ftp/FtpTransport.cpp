#include "FtpTransport.h"

#include <sys/socket.h>

namespace ftp {

namespace {
class Plain final : public Transport {
public:
    explicit Plain(Socket socket) : socket_(std::move(socket)) {}

    Status Receive(char* buffer, std::size_t n, const Wait& wait, std::size_t* got) override {
        return ReceiveSome(socket_.Fd(), buffer, n, wait, got);
    }
    Status Send(const char* data, std::size_t n, const Wait& wait, std::size_t* sent) override {
        return SendAll(socket_.Fd(), data, n, wait, sent);
    }
    Status Finish(const Wait& /*wait*/) override {
        // Queued behind the data, the FIN never waits.
        shutdown(socket_.Fd(), SHUT_WR);
        return Status();
    }
    void SendNow(const char* data, std::size_t n) override {
        send(socket_.Fd(), data, n, MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    int Fd() const override { return socket_.Fd(); }

private:
    Socket socket_;
};
}  // namespace

std::unique_ptr<Transport> PlainTransport(Socket socket) {
    return std::make_unique<Plain>(std::move(socket));
}

}  // namespace ftp
