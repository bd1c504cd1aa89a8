#pragma once

#include <cstddef>
#include <memory>

#include "FtpSocket.h"

namespace ftp {

// One connected byte stream of a session, control or data: plain TCP or TLS over it. Nothing
// above the layer knows which one runs. Errors and timeouts set LastError as the socket calls do.
class Transport {
public:
    virtual ~Transport() = default;

    // Receives what is there, up to n bytes, waiting at most timeoutMs. The count, 0 at the
    // orderly end of the stream, or -1 with LastError set.
    virtual long Receive(char* buffer, std::size_t n, int timeoutMs, const char* what) = 0;
    // Sends all n bytes; *sent (optional) receives how many went out.
    virtual bool Send(const char* data, std::size_t n, int timeoutMs, std::size_t* sent,
                      const char* what) = 0;
    // Ends the sending direction so that the peer sees a clean end (TLS: close_notify first).
    virtual void Finish(int timeoutMs) = 0;
    // A last word that must not wait (QUIT at the end of a session); best effort.
    virtual void SendNow(const char* data, std::size_t n) = 0;
    virtual int Fd() const = 0;
};

// Plain TCP.
std::unique_ptr<Transport> PlainTransport(Socket socket);

}  // namespace ftp
