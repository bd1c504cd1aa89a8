#include "FtpData.h"

#include "FtpPassive.h"
#include "FtpSession.h"

namespace ftp {

bool DataConnection::Active() {
    sockaddr_storage address{};
    if (!ListenBeside(control_.ControlFd(), listener_, address)) {
        return false;
    }
    const auto reply = control_.Command(PortCommand(address));
    if (!reply) {
        return false;
    }
    if (!reply->Completion()) {
        refused_ = true;
        SetLastError(kErrCommandFailed);
        return false;
    }
    return true;
}

bool DataConnection::Passive(bool* epsvRefused) {
    std::optional<PassiveTarget> target;
    if (!*epsvRefused) {
        const auto reply = control_.Command("EPSV");
        if (!reply) {
            return false;
        }
        if (reply->code == 229) {
            target = ParseEpsvReply(reply->text);
        } else {
            *epsvRefused = true;
        }
    }
    if (!target) {
        const auto reply = control_.Command("PASV");
        if (!reply) {
            return false;
        }
        if (reply->code != 227) {
            SetLastError(kErrCommandFailed);
            return false;
        }
        target = ParsePasvReply(reply->text);
    }
    if (!target) {
        SetLastError(kErrProtocol);
        return false;
    }
    // Behind NAT a server names an address of its own network: the data goes to the peer of
    // the control connection, whatever address the reply names.
    return ConnectToPeer(control_.ControlFd(), target->port, control_.GetTimeouts().acceptMs,
                         connected_);
}

bool DataConnection::Establish(Socket& out, int acceptMs) {
    if (connected_.Valid()) {
        out = std::move(connected_);
        return true;
    }
    const bool accepted = AcceptWithin(listener_.Fd(), acceptMs, out, control_.ControlFd());
    listener_.Close();  // a connection that comes later is refused, not left waiting
    return accepted;
}

}  // namespace ftp
