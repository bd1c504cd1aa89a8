#pragma once

#include <string>

namespace ftp {

// What a session learnt of a server that the next session must know: that active mode cannot
// reach it (start passive), and that it once spoke TLS (refuse a plain session in TLS "auto",
// which a man in the middle could otherwise force by answering AUTH TLS with an error).
enum class ServerFact { ActiveFails, SpokeTls };

// The facts of every server the operator reached, one line "<fact> [host]:port" each, in the file
// "ftp-servers" of a folder (the operator's state folder by default). Processes share the file
// under an advisory lock; facts are only ever added.
class ServerMemory {
public:
    explicit ServerMemory(std::string folder);

    // $XDG_STATE_HOME/telmaris, else ~/.local/state/telmaris; empty when neither is known.
    static std::string DefaultFolder();
    // The server's name in the file.
    static std::string Key(const std::string& host, unsigned port);

    bool Knows(const std::string& key, ServerFact fact) const;
    // False when the file cannot be written (the folder cannot be created, no room).
    bool Remember(const std::string& key, ServerFact fact) const;
    const std::string& Path() const { return path_; }

private:
    std::string folder_;
    std::string path_;
};

}  // namespace ftp
