#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "FileStore.h"
#include "SftpPacket.h"
#include "SshLink.h"

namespace korvane::sftp {

// Ok for SSH_FX_OK; else NotFound for a missing file and Server for the rest, with the
// server's words.
store::Result StatusOf(const Reply& reply, const QString& what);
// A reply of a type the request does not have.
store::Result Unexpected(const QString& what);

// The SFTP requests and replies of one channel: requests queue up and go out as the channel's
// window allows, replies are kept by id until taken, so that many can be in flight.
class SftpChannel {
public:
    explicit SftpChannel(SshLink& link);

    // The first request of the session: its reply (kFxpVersion) comes under kInitId.
    static constexpr uint32_t kInitId = 3;
    PacketWriter Init();
    // A request of the given type with the next id.
    PacketWriter Begin(uint8_t type);
    // Queues a finished request; returns its id.
    uint32_t Queue(PacketWriter&& packet);

    // Sends what the window allows and reads what came; when nothing moved, waits up to waitMs
    // for the socket. Fault::Broken when the connection is gone.
    store::Result Pump(int waitMs);
    // The reply to id, once it came.
    std::optional<Reply> Take(uint32_t id);
    // Waits for the reply to id within the deadline.
    store::Result Await(uint32_t id, const Deadline& deadline, const QString& what, Reply* out);
    // A reply no longer wanted is dropped when it comes.
    void Forget(uint32_t id);
    // Gives a spent reply body or packet back, so that the next ones reuse its memory instead of
    // fresh pages for every block.
    void Recycle(std::string&& buffer);

private:
    store::Result Send(bool* moved);
    store::Result Receive(bool* moved);
    store::Result Lost() const;
    std::string Spare();

    SshLink& link_;
    std::string out_;
    std::size_t outStart_ = 0;
    PacketSplitter in_;
    std::vector<char> readBuffer_;
    std::unordered_map<uint32_t, Reply> replies_;
    std::unordered_set<uint32_t> awaited_;
    std::vector<std::string> spare_;
    uint32_t lastId_ = kInitId;
};

}  // namespace korvane::sftp
