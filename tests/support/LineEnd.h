#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include <termios.h>
#include <vector>

namespace pw::test {

// One end of a pseudo-terminal line, raw: either a new pty whose other end (slavePath) a
// port under test opens, or an existing terminal (the simulator's) opened as the program would.
class LineEnd {
public:
    LineEnd();
    explicit LineEnd(const std::string& path, std::uint32_t rate = 9600);
    ~LineEnd();
    LineEnd(const LineEnd&) = delete;
    LineEnd& operator=(const LineEnd&) = delete;

    const std::string& slavePath() const { return slave_; }
    bool send(const std::vector<std::uint8_t>& bytes) const;
    // What arrives until `count` bytes are in or `wait` has passed.
    std::vector<std::uint8_t> receive(std::size_t count, std::chrono::milliseconds wait) const;
    void setRate(std::uint32_t rate) const;
    speed_t lineSpeed() const;
    // A new pty only: closes both ends, or only this one, so that opening the slave node
    // fails with EIO, as a /dev/ttyS node with no UART behind it does.
    void hangUp();
    void dropMasterOnly();

private:
    int fd_ = -1;
    int keeper_ = -1; // a new pty: keeps the slave open so a reopen never hangs this end up
    std::string slave_;
};

std::vector<std::uint8_t> bytesOf(const std::string& hex);

} // namespace pw::test
