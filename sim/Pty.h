#pragma once
#include <cstdint>
#include <string>

namespace pw::sim {

// A pseudo-terminal: the master side for the simulator, the slave path for the program.
// The simulator keeps a slave descriptor of its own open for its whole life, so that the
// program closing and reopening the slave never hangs up the master, and so that the
// slave's line settings (which tcgetattr on the master reports) survive in between.
// A terminal as both ends of the simulated line use it: raw 8N1 at `rate`, no echo.
bool makeRawLine(int fd, std::uint32_t rate);

class Pty {
public:
    Pty() = default;
    ~Pty() { close(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool open(std::string& error);
    void close();
    // The master alone: the slave node is left with nothing behind it, and opening it fails
    // with EIO, as a /dev/ttyS node without a UART does.
    void closeMaster();

    int master() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }
    // Output rate the program set on the slave; 0 when it is not a known rate.
    std::uint32_t slaveRate() const;
    // Bytes written to the master that the program has not read yet.
    int unreadBySlave() const;

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

} // namespace pw::sim
