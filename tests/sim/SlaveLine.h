#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace pw::test {

// The program's end of the simulator's pty, opened raw like the serial port does.
class SlaveLine {
public:
    explicit SlaveLine(const std::string& path, std::uint32_t rate = 9600);
    ~SlaveLine();
    SlaveLine(const SlaveLine&) = delete;
    SlaveLine& operator=(const SlaveLine&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    bool send(const std::vector<std::uint8_t>& bytes);
    // Reads until count bytes came or the time-out passed; returns what came.
    std::vector<std::uint8_t> receive(std::size_t count, std::chrono::milliseconds timeout);
    // True when the other side hung up within the time-out.
    bool hangsUp(std::chrono::milliseconds timeout);
    void setRate(std::uint32_t rate);

private:
    int fd_ = -1;
};

std::vector<std::uint8_t> bytesOf(const std::string& hex);

} // namespace pw::test
