#include "sim/Simulator.h"

#include "sim/BoardLine.h"
#include "sim/BootLoader.h"
#include "sim/FrameDecoder.h"
#include "sim/Pty.h"

#include <algorithm>
#include <cstdio>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace pw::sim {

namespace {

using Clock = std::chrono::steady_clock;
using Kind = Fault::Kind;

// What a receiver set to another rate makes of a byte: some other pattern, never a start byte.
std::uint8_t lineNoise(std::uint8_t byte)
{
    return static_cast<std::uint8_t>(0x80 | (byte >> 1));
}

std::int64_t microseconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration_cast<std::chrono::microseconds>(d).count();
}

Percentiles percentiles(std::vector<std::int64_t> samples)
{
    if (samples.empty())
        return {};
    std::sort(samples.begin(), samples.end());
    const auto at = [&samples](double q) { return samples[static_cast<std::size_t>(q * static_cast<double>(samples.size() - 1))]; };
    return {at(0.50), at(0.99), samples.back()};
}

// 8N1: ten bit times per byte.
Clock::duration byteTime(std::uint32_t rate)
{
    return std::chrono::nanoseconds(10'000'000'000LL / rate);
}

constexpr auto kHangupGrace = std::chrono::seconds(2);
// How long before a reply is due the simulator wakes to wait out the rest without sleeping.
constexpr auto kSpinAhead = std::chrono::microseconds(150);
// A write that took longer than this was held up, not slow: it does not move the next start.
constexpr Clock::duration kMaxWriteCost = std::chrono::microseconds(50);
// How often a pending hang-up looks whether the program has read the last reply.
constexpr auto kHangupSettle = std::chrono::milliseconds(20);
constexpr auto kHangupRecheck = std::chrono::milliseconds(2);

struct Inbound {
    std::uint8_t byte;
    Clock::time_point due; // when its stop bit would have arrived
};

struct Reply {
    std::vector<std::uint8_t> bytes;
    Clock::time_point notBefore;
};

} // namespace

struct Simulator::Impl {
    explicit Impl(SimOptions opts) : options(std::move(opts)) {}

    // Thread side.
    void run();
    void readInput(Clock::time_point now);
    void deliverArrived(Clock::time_point now);
    void onFrame(const std::vector<std::uint8_t>& bytes, bool complete, Clock::time_point now);
    void queueReply(const FrameOutcome& outcome, Clock::time_point now);
    void writeDue(Clock::time_point now);
    void writeWire(std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to);
    void hangUpWhenDrained(Clock::time_point now);
    std::optional<Clock::time_point> nextDeadline() const;
    void waitForActivity(std::optional<Clock::time_point> deadline) const;

    void appendLog(FrameDirection direction, const std::vector<std::uint8_t>& bytes, Clock::time_point now);
    void saveFlash();
    void wake() const;
    void fitFreshBoard();
    // A fault of the command line, where it applies to the board that is there.
    std::optional<std::uint32_t> fault(Kind kind) const { return faultValue(line.faults(), kind); }
    bool has(Kind kind) const { return fault(kind).has_value(); }
    Clock::duration faultMs(Kind kind) const { return std::chrono::milliseconds(fault(kind).value_or(0)); }
    Clock::duration pace() const { return options.pacing ? byteTime(loader.lineRate()) : Clock::duration::zero(); }

    const SimOptions options;
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::thread thread;
    bool stopRequested = false;
    int wakeFd = -1;
    std::string error;

    Pty pty;
    FlashMemory flash;
    BootLoader loader{flash};
    BoardLine line{options};
    std::uint64_t boardFrames = 0; // complete frames the board that is there has heard
    FrameDecoder decoder;
    std::vector<FrameLogEntry> log;
    std::ofstream logFile;
    SimCounters counters;

    Clock::time_point startTime;
    Clock::time_point eraseStartTime;
    std::deque<Inbound> inbound;
    Clock::time_point inFree;
    std::deque<Reply> outbound;
    bool replyStarted = false;
    Clock::time_point replyStart;
    Clock::time_point outFree;
    std::uint64_t repliesQueued = 0;
    Clock::time_point replyEnd;    // when the last reply was written whole
    Clock::duration writeCost{};   // running mean of how long a reply's write takes
    bool awaitingRequest = false;  // a reply went out; the next byte read closes a turnaround
    std::vector<std::int64_t> turnaroundUs;
    std::vector<std::int64_t> pacingErrorUs;
    bool hangupPending = false;
    Clock::time_point hangupBy;
    Clock::time_point lastWrite; // latest moment, even when the program never reads
};

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

void Simulator::Impl::onFrame(const std::vector<std::uint8_t>& bytes, bool complete, Clock::time_point now)
{
    if (!complete) {
        ++counters.framesRejected;
        appendLog(FrameDirection::Rejected, bytes, now);
        return;
    }
    ++counters.framesIn;
    appendLog(FrameDirection::In, bytes, now);
    switch (line.hear(now, BootLoader::isConnect(bytes))) {
    case BoardLine::Presence::Empty: return;
    case BoardLine::Presence::Fresh: fitFreshBoard(); break;
    case BoardLine::Presence::Same: break;
    }
    ++boardFrames;
    const auto silentAfter = fault(Kind::SilentAfter);
    if (silentAfter && boardFrames > *silentAfter)
        return;
    // A line about to hang up answers nothing more: the last reply is only being let drain.
    if (hangupPending)
        return;
    const FrameOutcome outcome = loader.handle(bytes, !has(Kind::NoBaudSwitch));
    if (outcome.flashChanged)
        saveFlash();
    if (outcome.command == FrameOutcome::Command::EraseStart)
        eraseStartTime = now;
    if (outcome.command == FrameOutcome::Command::LeaveIsp)
        line.takeAway(now);
    if (!outcome.reply.empty())
        queueReply(outcome, now);
    const auto hangupAfter = fault(Kind::HangupAfter);
    if (hangupAfter && boardFrames == *hangupAfter) {
        hangupPending = true;
        hangupBy = now + kHangupGrace;
    }
}

// The next board on the fixture: erased flash, waiting for a connect, its faults counted afresh.
void Simulator::Impl::fitFreshBoard()
{
    FlashBytes erased;
    erased.fill(0xFF);
    flash.assign(erased);
    saveFlash();
    loader.reset();
    boardFrames = 0;
    repliesQueued = 0;
}

void Simulator::Impl::queueReply(const FrameOutcome& outcome, Clock::time_point now)
{
    Reply reply{outcome.reply, now + faultMs(Kind::Slow)};
    if (outcome.command == FrameOutcome::Command::Connect && has(Kind::WrongConnect))
        reply.bytes[1] = 0x81;
    const auto corrupt = fault(Kind::Corrupt);
    if (corrupt && ++repliesQueued == *corrupt)
        reply.bytes[3] ^= 0x01;
    else if (!corrupt)
        ++repliesQueued;
    if (outcome.command == FrameOutcome::Command::EraseStatus && has(Kind::EraseBusy))
        reply.notBefore = std::max(reply.notBefore, eraseStartTime + faultMs(Kind::EraseBusy));
    outbound.push_back(std::move(reply));
}

// A reply leaves in one piece when its last byte's stop bit would have gone out: a reader
// that waits for the whole reply sees the line's timing, with one wake-up instead of one per
// byte, so the simulator's own timing error stays small.
void Simulator::Impl::writeDue(Clock::time_point now)
{
    while (!outbound.empty()) {
        Reply& reply = outbound.front();
        if (!replyStarted) {
            if (now < reply.notBefore)
                return;
            replyStart = options.pacing ? std::max(reply.notBefore, outFree) : now;
            replyStarted = true;
        }
        const Clock::duration step = pace();
        const Clock::time_point lastByteDue = replyStart + step * static_cast<long>(reply.bytes.size());
        if (now < lastByteDue - kSpinAhead)
            return;
        // The last stretch is waited out awake (a wake-up from sleep is tens of us late), and
        // the write starts early by what writes have been taking, so it ends on time.
        while (Clock::now() < lastByteDue - writeCost) {
        }
        const Clock::time_point writeStart = Clock::now();
        writeWire(reply.bytes, 0, reply.bytes.size());
        replyEnd = Clock::now();
        awaitingRequest = true;
        if (step > Clock::duration::zero()) {
            pacingErrorUs.push_back(microseconds(replyEnd - lastByteDue));
            writeCost += (std::min(replyEnd - writeStart, kMaxWriteCost) - writeCost) / 8;
        }
        outFree = lastByteDue;
        ++counters.repliesOut;
        appendLog(FrameDirection::Out, reply.bytes, replyEnd); // as it went out, not as of this wake-up
        outbound.pop_front();
        replyStarted = false;
    }
}

void Simulator::Impl::writeWire(std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to)
{
    if (pty.slaveRate() != loader.lineRate()) {
        for (std::size_t i = from; i < to; ++i)
            bytes[i] = lineNoise(bytes[i]);
        counters.garbledBytesOut += to - from;
    }
    const ssize_t written = pty.master() < 0 ? -1 : ::write(pty.master(), bytes.data() + from, to - from);
    // A full slave queue (nobody reading) loses the bytes, as a line without a listener does.
    const std::size_t sent = written > 0 ? static_cast<std::size_t>(written) : 0;
    lastWrite = Clock::now();
    counters.lostBytesOut += (to - from) - sent;
}

// A hang-up flushes what the slave has not read, so the last reply is given time to be read.
void Simulator::Impl::hangUpWhenDrained(Clock::time_point now)
{
    if (!hangupPending || !outbound.empty())
        return;
    // The pty hands written bytes to the slave a moment later, so an empty queue counts only
    // once that moment has passed.
    const bool settled = now >= lastWrite + kHangupSettle && pty.unreadBySlave() == 0;
    if (!settled && now < hangupBy)
        return;
    hangupPending = false;
    pty.close();
    counters.hungUp = true;
    inbound.clear();
    changed.notify_all();
}

std::optional<Clock::time_point> Simulator::Impl::nextDeadline() const
{
    std::optional<Clock::time_point> deadline;
    if (!inbound.empty())
        deadline = inbound.front().due;
    if (!outbound.empty()) {
        const Clock::time_point next =
            replyStarted ? replyStart + pace() * static_cast<long>(outbound.front().bytes.size()) - kSpinAhead
                         : outbound.front().notBefore;
        deadline = deadline ? std::min(*deadline, next) : next;
    } else if (hangupPending) {
        deadline = Clock::now() + kHangupRecheck;
    }
    return deadline;
}

void Simulator::Impl::waitForActivity(std::optional<Clock::time_point> deadline) const
{
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {-1, POLLIN, 0}};
    // After a hang-up the master is gone and only the wake descriptor is watched.
    fds[1].fd = pty.master();
    timespec timeout{};
    timespec* timeoutPtr = nullptr;
    if (deadline) {
        const auto left = std::max(Clock::duration::zero(), *deadline - Clock::now());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timeout = {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
        timeoutPtr = &timeout;
    }
    if (::ppoll(fds, fds[1].fd >= 0 ? 2 : 1, timeoutPtr, nullptr) > 0 && (fds[0].revents & POLLIN)) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t got = ::read(wakeFd, &count, sizeof count);
    }
}

void Simulator::Impl::appendLog(FrameDirection direction, const std::vector<std::uint8_t>& bytes,
                                Clock::time_point now)
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
    if (wakeFd >= 0)
        [[maybe_unused]] const ssize_t put = ::write(wakeFd, &one, sizeof one);
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

SimStats Simulator::stats() const
{
    std::lock_guard lock(impl_->mutex);
    return {impl_->turnaroundUs.size(), percentiles(impl_->turnaroundUs), percentiles(impl_->pacingErrorUs)};
}

std::string statsLine(const SimStats& stats)
{
    char text[200];
    std::snprintf(text, sizeof text,
                  "exchanges %zu  host turnaround p50/p99/max %lld/%lld/%lld us  pacing error p50/p99/max %lld/%lld/%lld us",
                  stats.exchanges, static_cast<long long>(stats.turnaround.p50),
                  static_cast<long long>(stats.turnaround.p99), static_cast<long long>(stats.turnaround.max),
                  static_cast<long long>(stats.pacingError.p50), static_cast<long long>(stats.pacingError.p99),
                  static_cast<long long>(stats.pacingError.max));
    return text;
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
