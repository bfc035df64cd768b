#include "sim/SimulatorImpl.h"

#include <algorithm>
#include <cerrno>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace pw::sim {

void Simulator::Impl::run()
{
    // The line's timing is kept by timed waits; the kernel's default 50 us of timer slack
    // would make every reply that much late.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    std::unique_lock lock(mutex);
    while (!stopRequested) {
        const Clock::time_point now = Clock::now();
        readInput(now);
        deliverArrived(now);
        writeDue(Clock::now());
        hangUpWhenDrained(Clock::now());
        const std::optional<Clock::time_point> deadline = nextDeadline();
        lock.unlock();
        waitForActivity(deadline);
        lock.lock();
    }
}

void Simulator::Impl::readInput(Clock::time_point now)
{
    if (pty.master() < 0)
        return;
    std::uint8_t buffer[512];
    for (;;) {
        const ssize_t got = ::read(pty.master(), buffer, sizeof buffer);
        if (got <= 0)
            return; // EAGAIN: drained. The own slave fd keeps EIO (no slave) from happening.
        if (awaitingRequest) {
            turnaroundUs.push_back(microseconds(Clock::now() - replyEnd));
            awaitingRequest = false;
        }
        // An empty fixture garbles nothing; the next board will listen at the base rate.
        const bool noise = pty.slaveRate() != (line.boardThere(now) ? loader.lineRate() : kBaseRate);
        for (ssize_t i = 0; i < got; ++i) {
            const std::uint8_t byte = noise ? lineNoise(buffer[i]) : buffer[i];
            inFree = std::max(now, inFree) + pace();
            inbound.push_back({byte, inFree});
        }
        if (noise) {
            counters.noiseBytesIn += static_cast<std::uint64_t>(got);
            line.heardNoise(now);
        }
    }
}

void Simulator::Impl::deliverArrived(Clock::time_point now)
{
    while (!inbound.empty() && inbound.front().due <= now) {
        const Inbound arrived = inbound.front();
        inbound.pop_front();
        // The frame is handled as of its last byte's arrival on the line, not of this wake-up:
        // a late wake-up must not delay the reply's place on the line too.
        decoder.feed(arrived.byte, [&](const std::vector<std::uint8_t>& bytes, bool complete) {
            onFrame(bytes, complete, arrived.due);
        });
    }
}

void Simulator::Impl::appendLog(FrameDirection direction, const std::vector<std::uint8_t>& bytes, Clock::time_point now)
{
    FrameLogEntry entry{direction, microseconds(now - startTime), bytes};
    if (logFile.is_open())
        logFile << logLine(entry) << '\n' << std::flush;
    log.push_back(std::move(entry));
    changed.notify_all();
}

void Simulator::Impl::saveFlash()
{
    if (!options.flashFile.empty() && !saveFlashFile(options.flashFile, flash.bytes()))
        ++counters.saveFailures;
}

void Simulator::Impl::wake() const
{
    const std::uint64_t one = 1;
    if (wakeFd >= 0) [[maybe_unused]]
        const ssize_t put = ::write(wakeFd, &one, sizeof one);
}

Simulator::Simulator(SimOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

Simulator::~Simulator()
{
    stop();
}

bool Simulator::start()
{
    Impl& s = *impl_;
    std::lock_guard lock(s.mutex);
    if (s.thread.joinable())
        return true;
    FlashBytes bytes{};
    if (!s.options.flashFile.empty() && !loadFlashFile(s.options.flashFile, bytes, s.error))
        return false;
    if (!s.options.flashFile.empty())
        s.flash.assign(bytes);
    if (!s.options.logFile.empty()) {
        s.logFile.open(s.options.logFile, std::ios::trunc);
        if (!s.logFile) {
            s.error = "cannot write the log file " + s.options.logFile;
            return false;
        }
    }
    if (!s.pty.open(s.error))
        return false;
    s.wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (s.wakeFd < 0) {
        s.error = "eventfd failed";
        s.pty.close();
        return false;
    }
    s.startTime = s.inFree = s.outFree = Clock::now();
    s.thread = std::thread([&s] { s.run(); });
    return true;
}

void Simulator::stop()
{
    Impl& s = *impl_;
    {
        std::lock_guard lock(s.mutex);
        if (!s.thread.joinable())
            return;
        s.stopRequested = true;
        s.wake();
    }
    s.thread.join();
    std::lock_guard lock(s.mutex);
    s.saveFlash();
    s.pty.close();
    ::close(s.wakeFd);
    s.wakeFd = -1;
    s.logFile.close();
}

std::string Simulator::error() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->error;
}

std::string Simulator::slavePath() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->pty.slavePath();
}

FlashBytes Simulator::flash() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->flash.bytes();
}

std::vector<FlashBytes> Simulator::boardFlashes() const
{
    std::lock_guard lock(impl_->mutex);
    std::vector<FlashBytes> boards = impl_->boardsGone;
    if (impl_->line.active())
        boards.push_back(impl_->flash.bytes());
    return boards;
}

void Simulator::setFlash(const FlashBytes& bytes)
{
    std::lock_guard lock(impl_->mutex);
    impl_->flash.assign(bytes);
    impl_->saveFlash();
}

void Simulator::reset()
{
    Impl& s = *impl_;
    std::lock_guard lock(s.mutex);
    s.loader.reset();
    s.decoder.clear();
    s.inbound.clear();
    s.outbound.clear();
    s.replyStarted = false;
    s.hangupPending = false;
    ++s.counters.resets;
    s.changed.notify_all();
    s.wake();
}

std::vector<FrameLogEntry> Simulator::frames() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->log;
}

void Simulator::clearFrames()
{
    std::lock_guard lock(impl_->mutex);
    impl_->log.clear();
    impl_->turnaroundUs.clear();
    impl_->pacingErrorUs.clear();
    impl_->awaitingRequest = false;
}

SimCounters Simulator::counters() const
{
    std::lock_guard lock(impl_->mutex);
    SimCounters counters = impl_->counters;
    if (impl_->line.active()) {
        counters.boardsArrived = impl_->line.board();
        counters.boardsWithFault = impl_->line.boardsWithFault();
    }
    return counters;
}

std::uint32_t Simulator::expectedRate() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->loader.lineRate();
}

bool Simulator::connected() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->loader.connected();
}

bool Simulator::waitForLog(const std::function<bool(const std::vector<FrameLogEntry>&)>& predicate,
                           std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, timeout, [&] { return predicate(impl_->log); });
}

bool Simulator::waitForFrames(std::size_t count, std::chrono::milliseconds timeout) const
{
    return waitForLog([count](const std::vector<FrameLogEntry>& log) { return log.size() >= count; }, timeout);
}

} // namespace pw::sim
