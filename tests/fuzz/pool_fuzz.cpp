// libFuzzer target: any bytes as a serial pool's journal, as another process or a damaged disk
// may leave it. Opening it never crashes; a journal it reads whole issues, when it has a number
// left, one that it never issued before.
#include "line/SerialPool.h"
#include "tests/fuzz/FuzzInput.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = pw::fuzz::inputAsFile("pool.jsonl", data, size);
    pw::SerialPool pool;
    if (!pool.open(path)) {
        const pw::PoolState before = pool.state();
        std::uint64_t number = 0;
        if (!pool.reserve("fuzz", UINT64_MAX, number)) {
            if (before.numbers.count(number) != 0 || number < before.range.start)
                std::abort(); // a number issued twice, or one outside the range
            if (!pool.settle(number, false, "fuzz", "") &&
                pool.state().numbers.at(number).state != pw::PoolNumber::State::Void)
                std::abort();
        }
    }
    unlink(path.c_str());
    return 0;
}
