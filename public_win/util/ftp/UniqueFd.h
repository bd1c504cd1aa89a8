#pragma once

namespace ftp {

// A file or socket descriptor that closes itself; -1 holds none.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Close(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Fd() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release();
    void Close();

private:
    int fd_ = -1;
};

}  // namespace ftp
