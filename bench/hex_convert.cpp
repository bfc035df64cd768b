// Converts generated HEX files with ConvertHexToBin and, when srec_cat is on PATH, with that
// tool too, printing the HEX input rate of each side by side.
#include "base/MessageBoxes.h"
#include "image/HexToBin.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

class PrintedBoxes : public pw::MessageBoxes {
public:
    void show(const std::string&, const std::string& text, pw::BoxIcon) override
    {
        std::fprintf(stderr, "box: %s\n", text.c_str());
    }
};

void putRecord(std::ofstream& out, unsigned type, unsigned address, const std::uint8_t* data, unsigned count)
{
    static const char digits[] = "0123456789ABCDEF";
    char line[2 * 260 + 4];
    std::size_t n = 0;
    unsigned sum = 0;
    const auto put = [&](unsigned byte) {
        line[n++] = digits[(byte >> 4) & 0xF];
        line[n++] = digits[byte & 0xF];
        sum += byte;
    };
    line[n++] = ':';
    put(count);
    put(address >> 8);
    put(address & 0xFF);
    put(type);
    for (unsigned i = 0; i < count; ++i)
        put(data[i]);
    put((0x100 - (sum & 0xFF)) & 0xFF);
    line[n++] = '\n';
    out.write(line, static_cast<std::streamsize>(n));
}

void putWindow(std::ofstream& out, unsigned bank, unsigned from, unsigned to)
{
    std::uint8_t data[16];
    for (unsigned address = from; address < to; address += 16) {
        for (unsigned i = 0; i < 16; ++i)
            data[i] = static_cast<std::uint8_t>((bank * 131 + address + i) * 7 + 3);
        putRecord(out, 0, address, data, 16);
    }
}

// Bank 0 fills 0x0000-0xFFFF; each further bank b adds the upper half, (b + 1) * 0x8000 on.
std::uintmax_t makeHex(const std::string& path, unsigned lastBank)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    putWindow(out, 0, 0, 0x10000);
    for (unsigned bank = 1; bank <= lastBank; ++bank) {
        const std::uint8_t value[2] = {static_cast<std::uint8_t>(bank >> 8), static_cast<std::uint8_t>(bank)};
        putRecord(out, 4, 0, value, 2);
        putWindow(out, bank, 0x8000, 0x10000);
    }
    putRecord(out, 1, 0, nullptr, 0);
    out.close();
    return std::filesystem::file_size(path);
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double oursMBps(const std::string& hex, const std::string& bin, std::uintmax_t hexBytes, int runs)
{
    PrintedBoxes boxes;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i) {
        pw::HexConverterState state;
        if (!pw::ConvertHexToBin(hex, bin, state, boxes))
            return 0;
    }
    return static_cast<double>(hexBytes) * runs / 1e6 / secondsSince(start);
}

double srecMBps(const std::string& hex, const std::string& bin, unsigned end, std::uintmax_t hexBytes, int runs)
{
    char command[1024];
    std::snprintf(command, sizeof command, "srec_cat '%s' -intel -fill 0xFF 0x0000 0x%X -o '%s' -binary 2>/dev/null",
                  hex.c_str(), end, bin.c_str());
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i) {
        if (std::system(command) != 0)
            return 0;
    }
    return static_cast<double>(hexBytes) * runs / 1e6 / secondsSince(start);
}

struct Case {
    const char* name;
    unsigned lastBank;
    unsigned end;
    int runs;
};

} // namespace

int main()
{
    const bool haveSrec = std::system("command -v srec_cat >/dev/null 2>&1") == 0;
    const auto dir = std::filesystem::temp_directory_path() / "pw-bench-hex";
    std::filesystem::create_directories(dir);
    const Case cases[] = {{"64 KiB", 0, 0x10000, 20}, {"16 MiB banked", 0x1FE, 0x1000000, 3}};
    std::printf("%-14s %12s %12s %14s\n", "image", "HEX bytes", "ours MB/s", "srec_cat MB/s");
    for (const Case& c : cases) {
        const std::string hex = (dir / "bench.hex").string();
        const std::uintmax_t hexBytes = makeHex(hex, c.lastBank);
        const double ours = oursMBps(hex, (dir / "ours.bin").string(), hexBytes, c.runs);
        std::printf("%-14s %12ju %12.1f", c.name, hexBytes, ours);
        if (haveSrec)
            std::printf(" %14.1f\n", srecMBps(hex, (dir / "srec.bin").string(), c.end, hexBytes, c.runs));
        else
            std::printf(" %14s\n", "(not on PATH)");
    }
    // srec_cat reads type 04 records as the upper address bits, not as 32 KiB banks, so for
    // the banked file its output differs from ours; the rate is still comparable.
    std::filesystem::remove_all(dir);
    return 0;
}
