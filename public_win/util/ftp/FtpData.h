#pragma once

#include "FtpSocket.h"

namespace ftp {

class Connection;

// The data connection of one transfer, prepared before the transfer command and established
// after its opening reply. Active: the client listens beside the control connection and names
// its address with PORT/EPRT; the server connects. Passive: the server listens (EPSV, else
// PASV) and the client connects to the control connection's peer.
class DataConnection {
public:
    explicit DataConnection(Connection& control) : control_(control) {}

    // Each false keeps its failure on the control connection.
    bool Active();
    // *epsvRefused: EPSV was refused once, so PASV goes first from then on.
    bool Passive(bool* epsvRefused);
    // Whether Active() failed because the server refused PORT/EPRT.
    bool Refused() const { return refused_; }
    // Active: accepts the server's connection within acceptMs. Passive: hands over the
    // connection made already.
    bool Establish(Socket& out, int acceptMs);

private:
    Connection& control_;
    Socket listener_;
    Socket connected_;
    bool refused_ = false;
};

}  // namespace ftp
