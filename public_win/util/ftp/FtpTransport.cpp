#include "FtpTransport.h"

#include <sys/socket.h>

namespace ftp {

namespace {
class Plain final : public Transport {
public:
    explicit Plain(Socket socket) : socket_(std::move(socket)) {}

    long Receive(char* buffer, std::size_t n, int timeoutMs, const char* what) override {
        return ReceiveSome(socket_.Fd(), buffer, n, timeoutMs, what);
    }
    bool Send(const char* data, std::size_t n, int timeoutMs, std::size_t* sent,
              const char* what) override {
        return SendAll(socket_.Fd(), data, n, timeoutMs, sent, what);
    }
    void Finish(int /*timeoutMs*/) override { shutdown(socket_.Fd(), SHUT_WR); }
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
