#include "ops/BlockWalk.h"
#include "ops/DumpFiles.h"
#include "ops/EraseSteps.h"
#include "ops/OperationTexts.h"

#include <vector>

namespace pw {

namespace {

bool readRange(IspContext& ctx, OperationView& view, std::uint32_t start, std::vector<std::uint8_t>& readBack,
               RunStatus& status)
{
    AddressWalk walk;
    std::array<std::uint8_t, 8> block{};
    const auto readInto = [&](std::uint32_t address) {
        if (!status.proceed(readBlock(ctx, walk, address, block)))
            return false;
        std::copy(block.begin(), block.end(), readBack.begin() + static_cast<std::ptrdiff_t>(address - start));
        ctx.expectedReply = ResponseKind::AnyFrameNoClear;
        return true;
    };
    return walkFullBlocks(ctx, status, start, readBack.size() / 8, readInto,
                          [&](std::uint64_t i) { view.setProgressPosition(static_cast<int>(i)); });
}

void saveDump(IspContext& ctx, OperationView& view, const DumpRequest& request, std::uint32_t start,
              const std::vector<std::uint8_t>& readBack, RunStatus& status)
{
    std::string path;
    bool written = false;
    if (request.asText) {
        const std::optional<std::string> listing = dumpListing(readBack, start, ctx.cancelEvent);
        if (!listing) {
            status.fail(Outcome::Cancelled, kCancelledText);
            return;
        }
        const auto* text = reinterpret_cast<const std::uint8_t*>(listing->data());
        written = writeDumpFile(request.directory, kDumpTextName, {text, listing->size()}, path);
    } else {
        written = writeDumpFile(request.directory, kDumpBinaryName, readBack, path);
    }
    if (!written) {
        showErrorBox(ctx.boxes, kDumpFileFailedText);
        status.fail(Outcome::ImageError, std::string(kDumpFileFailedText) + " " + path);
        return;
    }
    status.setMessage(path);
    if (request.asText)
        view.openTextViewer(path);
}

void dump(IspContext& ctx, OperationView& view, const DumpRequest& request, RunStatus& status)
{
    if (!status.passes(ctx.boxes, dumpRangeRefusal(request.fromPage, request.pageCount), Outcome::Refused))
        return;
    const AttachedReadBuffer readBuffer(ctx);
    const std::uint32_t start = request.fromPage << kPageShift;
    std::vector<std::uint8_t> readBack(std::size_t{request.pageCount} << kPageShift, 0xFF);
    view.setProgressRange(0, static_cast<int>(readBack.size() / 8 + 1));
    view.setProgressPosition(0);
    if (!status.proceed(openConnection(ctx, LinkUse::Dump)) || !readRange(ctx, view, start, readBack, status))
        return;
    leaveIsp(ctx); // before the files are written: the target need not wait for the disk
    status.markLeft();
    saveDump(ctx, view, request, start, readBack, status);
}

} // namespace

std::optional<std::string> dumpRangeRefusal(std::uint32_t fromPage, std::uint32_t pageCount)
{
    // readBack holds 128 pages and the wire carries 16 address bits.
    const std::uint64_t end = (std::uint64_t{fromPage} + pageCount) << kPageShift;
    if (pageCount == 0)
        return std::string(kPageCountZeroText);
    if (end > kWireAddressSpan)
        return dumpRangeText(fromPage, pageCount);
    return std::nullopt;
}

OperationResult DumpWorker(IspContext& ctx, OperationView& view, const DumpRequest& request)
{
    view.setProgressVisible(true);
    view.setCancelEnabled(true);
    RunStatus status;
    dump(ctx, view, request, status);
    view.setProgressVisible(false);
    return finishLinkRun(ctx, view, status, LeaveAfterFailure::Skip);
}

} // namespace pw
