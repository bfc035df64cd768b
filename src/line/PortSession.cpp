#include "line/PortSession.h"

#include "base/NumberText.h"
#include "ops/OperationRunner.h"
#include "protocol/LinkControl.h"

namespace pw {

PortSession::PortSession(const PortSetup& setup, MessageBoxes& boxes, OperationView& view,
                         std::function<void(const std::string&)> notice, const SettingsStore& store,
                         BoardSerials* serials)
    : boxes_(boxes), view_(view), notice_(std::move(notice)), ctx_(boxes_), matcher_(ctx_, MatcherVariant::Panel),
      serials_(serials)
{
    loadSettings(ctx_, store);
    ctx_.exeDir = programFolder();
    if (setup.baud)
        ctx_.baudRate = *setup.baud;
    if (setup.startAddr)
        ctx_.ispStartAddr = *setup.startAddr;
    ctx_.skipBlankBlocks = setup.skipBlank;
    if (const auto com = comPortNumber(setup.port)) { // "COM3"; anything else is a device path
        ctx_.comPort = static_cast<std::uint8_t>(*com);
        label_ = setup.port;
    } else if (!setup.port.empty()) {
        ctx_.comPort = 1;
        ctx_.portMap.assignForThisRun(1, setup.port);
        label_ = setup.port;
    } else {
        label_ = "COM" + std::to_string(ctx_.comPort.load());
    }
    // The port is closed right after the run or waits for the next board, so the pause that
    // keeps a window from starting its next operation at once is left out; every pause
    // that faces the target stays as the window keeps it.
    ctx_.timings.afterOperationPause = Millis(0);
}

PoolProblem PortSession::reserveSerial(std::optional<PlacedSerial>& placed)
{
    placed.reset();
    if (!serials_)
        return {};
    PlacedSerial reserved;
    PoolProblem problem = serials_->reserve(label_, reserved);
    if (!problem)
        placed = std::move(reserved);
    return problem;
}

PoolProblem PortSession::settleSerial(const PortOutcome& outcome, const std::string& record)
{
    if (!serials_ || !outcome.serial)
        return {};
    return serials_->settle(*outcome.serial, resultName(outcome), record);
}

bool PortSession::open()
{
    ctx_.portOwner = &matcher_;
    ctx_.port.setNotice(notice_);
    OpenLink(ctx_, matcher_, matcher_);
    if (!ctx_.port.isOpen())
        ctx_.portOpen = 0;
    return ctx_.port.isOpen();
}

void PortSession::close()
{
    ctx_.port.Close();
    ctx_.portOpen = 0;
}

OperationResult PortSession::runOnce(const Work& work)
{
    OperationResult result;
    OperationRunner runner(ctx_);
    runner.start([&] {
        if (interrupted_) // stopped before the run began: it ends at its first look at Cancel
            ctx_.cancelEvent.set();
        result = work(ctx_, view_);
    });
    runner.join();
    if (result.message.empty() && result.outcome != Outcome::Success)
        result.message = boxes_.lastText();
    return result;
}

ExitCode PortSession::exitCodeFor(const OperationResult& result) const
{
    if (result.outcome == Outcome::Cancelled && interrupted_)
        return ExitInterrupted;
    return traitsOf(result.outcome).exitCode;
}

void PortSession::interrupt()
{
    interrupted_ = true;
    ctx_.cancelEvent.set();
}

PortSession::Work stationWork(StationOperation operation, const std::string& imagePath, const ImagePatch& patch)
{
    return [=](IspContext& ctx, OperationView& view) {
        return operation == StationOperation::Auto ? AutoThread(ctx, view, imagePath, patch)
                                                   : ProgramThread(ctx, view, imagePath, patch);
    };
}

const char* resultName(const PortOutcome& outcome)
{
    if (outcome.exitCode == ExitPortError)
        return traitsOf(StopReason::PortGone).word;
    if (outcome.exitCode == ExitNotKept)
        return traitsOf(StopReason::SerialPool).word;
    return traitsOf(outcome.result.outcome).word;
}

} // namespace pw
