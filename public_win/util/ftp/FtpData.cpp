#include "FtpData.h"

#include "FtpPassive.h"
#include "FtpSession.h"

namespace ftp {

bool DataConnection::Active() {
    sockaddr_storage address{};
    if (!control_.Keep(ListenBeside(control_.ControlFd(), listener_, address))) {
        return false;
    }
    const auto reply = control_.Command(PortCommand(address));
    if (!reply) {
        return false;
    }
    if (!reply->Completion()) {
        refused_ = true;
        return control_.Keep(Status::Of(kErrCommandFailed));
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
            return control_.Keep(Status::Of(kErrCommandFailed));
        }
        target = ParsePasvReply(reply->text);
    }
    if (!target) {
        return control_.Keep(Status::Of(kErrProtocol));
    }
    // Behind NAT a server names an address of its own network: the data goes to the peer of
    // the control connection, whatever address the reply names.
    const int waitMs = control_.GetTimeouts().acceptMs;
    return control_.Keep(ConnectToPeer(control_.ControlFd(), target->port,
                                       control_.WaitOf(waitMs, waits::kAccept), connected_));
}

bool DataConnection::Establish(Socket& out, int acceptMs) {
    if (connected_.Valid()) {
        out = std::move(connected_);
        return true;
    }
    const bool accepted = control_.Keep(AcceptWithin(
        listener_.Fd(), control_.WaitOf(acceptMs, waits::kAccept), out, control_.ControlFd()));
    listener_.Close();  // a connection that comes later is refused, not left waiting
    return accepted;
}

}  // namespace ftp
