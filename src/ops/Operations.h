#pragma once
#include "context/IspContext.h"
#include "image/FirmwareImage.h"
#include "ops/OperationView.h"

#include <cstdint>
#include <optional>
#include <string>

namespace pw {

// How a run ended. The GUI only shows boxes and log lines; the command line maps this to
// its exit code.
enum class Outcome {
    Success,
    Mismatch, // verify found a differing block
    TimedOut, // a reply wait expired
    LineLost, // the device hung up (the port has said so)
    Cancelled,
    ImageError, // the image could not be read or is not usable
    Refused,    // nothing was sent: bad range or arguments
    WrongReply, // a station's board answered its connect wrongly (another or a damaged boot loader)
};

struct OperationResult {
    Outcome outcome = Outcome::Success;
    std::string message;     // the box text or last log line that tells the user why
    std::uint64_t bytes = 0; // bytes written, read or erased
    double seconds = 0;
};

struct DumpRequest {
    std::uint32_t fromPage = 0;
    std::uint32_t pageCount = 1;
    bool asText = true;
    std::string directory = "."; // where Dump.txt / Dump.bin are written
};

// The worker routines. Each runs on the calling thread from start to end (the caller has
// claimed `busy`; each lowers it as its last action) and reports through `view` and ctx.boxes.
// Program and Auto write `patch` over the image in memory (the file stays as it is).
OperationResult ProgramThread(IspContext& ctx, OperationView& view, const std::string& imagePath,
                              const ImagePatch& patch = {});
OperationResult VerifyThread(IspContext& ctx, OperationView& view, const std::string& imagePath);
OperationResult AutoThread(IspContext& ctx, OperationView& view, const std::string& imagePath,
                           const ImagePatch& patch = {});
OperationResult EraseAllThread(IspContext& ctx, OperationView& view);
OperationResult PageEraseThread(IspContext& ctx, OperationView& view, std::uint32_t fromPage, std::uint32_t pageCount);
OperationResult DumpWorker(IspContext& ctx, OperationView& view, const DumpRequest& request);

// Why a dump range must not be read, or nothing: no pages, or more than the 128 pages of the
// 16-bit address space (the dump's buffer holds exactly those).
std::optional<std::string> dumpRangeRefusal(std::uint32_t fromPage, std::uint32_t pageCount);

} // namespace pw
