#pragma once

#include <cstddef>
#include <memory>

#include "FtpSocket.h"

namespace ftp {

// One connected byte stream of a session, control or data: plain TCP or TLS over it. Nothing
// above the layer knows which one runs.
class Transport {
public:
    virtual ~Transport() = default;

    // Receives what is there, up to n bytes, within the wait; *got is 0 at the orderly end of
    // the stream.
    virtual Status Receive(char* buffer, std::size_t n, const Wait& wait, std::size_t* got) = 0;
    // Sends all n bytes; *sent (optional) receives how many went out.
    virtual Status Send(const char* data, std::size_t n, const Wait& wait, std::size_t* sent) = 0;
    // Ends the sending direction so that the peer sees a clean end (TLS: close_notify first,
    // then what the peer still sends is read), all within the wait; a timeout when the peer
    // took nothing more (a stalled connection).
    virtual Status Finish(const Wait& wait) = 0;
    // A last word that must not wait (QUIT at the end of a session); best effort.
    virtual void SendNow(const char* data, std::size_t n) = 0;
    virtual int Fd() const = 0;
};

// Plain TCP.
std::unique_ptr<Transport> PlainTransport(Socket socket);

}  // namespace ftp
