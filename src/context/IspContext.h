#pragma once
#include "base/ChipTable.h"
#include "base/ManualResetEvent.h"
#include "base/MessageBoxes.h"
#include "base/ReadDest.h"
#include "base/Timings.h"
#include "base/Version.h"
#include "base/ResponseKind.h"
#include "serial/ByteSink.h"
#include "serial/PortMap.h"
#include "serial/SerialPort.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace pw {

// The state one programming link shares between its windows, its worker and the matcher.
// The application owns one; tests and the gang command line make one per port.
// Fields touched by more than one thread are atomic or guarded by their own type.
struct IspContext {
    explicit IspContext(MessageBoxes& messageBoxes);
    IspContext(const IspContext&) = delete;
    IspContext& operator=(const IspContext&) = delete;

    MessageBoxes& boxes;

    // Line settings.
    std::atomic<std::uint8_t> comPort{1};
    std::atomic<std::uint32_t> baudRate{9600};
    std::uint32_t baseBaud = 9600;
    char parity = 'N';
    std::uint32_t dataBits = 8;
    std::uint32_t stopBits = 1;
    std::uint32_t writeBufferSize = 128;

    // Link state.
    PortMap portMap;
    SerialPort port;
    std::atomic<int> portOpen{0};
    std::atomic<ByteSink*> portOwner{nullptr};

    // Protocol exchange.
    std::atomic<ResponseKind> expectedReply{ResponseKind::Idle};
    ReadDest readDest;
    ManualResetEvent cancelEvent;
    ManualResetEvent replyEvent;
    // The matcher saw a whole connect reply that is not the connect reply: something answers,
    // but not as the boot loader must. Reset with replyEvent before each command.
    std::atomic<bool> wrongReply{false};

    // Operation state.
    std::atomic<int> busy{0};
    // A station's wait for the next board ended with the connect reply: the run that follows
    // begins at the handshake, once.
    std::atomic<bool> connectAnswered{false};
    std::function<void(const std::string&)> startAddrLabel; // the panel's address line

    // Chip and image.
    std::uint8_t chipType = 0;
    std::uint32_t flashSize = kChipFlashSizes[0];
    std::atomic<std::uint32_t> ispStartAddr{0};
    // Program and Auto leave out 8-byte blocks that are all 0xFF: writing them changes nothing,
    // since programming only clears bits. Off unless asked for (pagewise-cli --skip-blank).
    bool skipBlankBlocks = false;

    // Paths and texts.
    std::string exeDir; // folder of the program file, with a trailing '/'
    const std::string versionText = kVersionText;

    Timings timings;
    // Every fixed pause towards the target is taken here: the product sleeps; a test can note
    // what was asked for and sleep briefly, so the pauses stay pinned without a slow suite.
    std::function<void(Millis)> pause;

    const char* chipName() const { return kChipNames[chipType]; }
};

// Folder of the running program file, with a trailing '/'.
std::string programFolder();

} // namespace pw
