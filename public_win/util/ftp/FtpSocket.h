#pragma once

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "FtpStatus.h"
#include "UniqueFd.h"

namespace ftp {

// A socket descriptor that closes itself.
using Socket = UniqueFd;

// Every call below returns what it learned as a Status: Ok, or the error number and, for the
// layer's own errors that have words (a timeout), their text. Each wait ends at its bound or
// within kCancelPollMs of a cancel.

// Connects to host:port within the wait, trying every address the name resolves to
// (kErrNameNotResolved, a system error such as ECONNREFUSED, or kErrTimeout).
Status ConnectTcp(const std::string& host, uint16_t port, const Wait& wait, Socket& out);

// Waits until fd is readable (events POLLIN) or writable (POLLOUT).
Status WaitFor(int fd, short events, const Wait& wait);

// Receives what is there, up to n bytes, within the wait; *got is 0 at the orderly end of the
// stream.
Status ReceiveSome(int fd, char* buffer, std::size_t n, const Wait& wait, std::size_t* got);

// Sends all n bytes, waiting for room each time within the wait; *sent (optional) receives how
// many went out. A reset peer never raises SIGPIPE.
Status SendAll(int fd, const char* data, std::size_t n, const Wait& wait, std::size_t* sent);

// A listening socket for an active-mode data connection on the local address of control.
Status ListenBeside(int controlFd, Socket& listener, sockaddr_storage& address);
// Accepts the data connection of the server at the other end of control, within the wait in
// all; a connection from any other address is closed and the wait goes on.
Status AcceptWithin(int listenerFd, const Wait& wait, Socket& out, int controlFd);

// A passive-mode data connection: to port on the control connection's peer, whatever address
// the server named (behind NAT it names one the client cannot reach).
Status ConnectToPeer(int controlFd, uint16_t port, const Wait& wait, Socket& out);

// The text of a PORT (IPv4) or EPRT (IPv6) command that names address.
std::string PortCommand(const sockaddr_storage& address);

// Splits "host", "host:port", "[v6]" and "[v6]:port"; a bare IPv6 address has no port.
bool SplitHostPort(const std::string& server, std::string& host, uint16_t& port,
                   uint16_t defaultPort);

}  // namespace ftp
