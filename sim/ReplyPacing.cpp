// When each reply goes out: at the time its last byte would leave a line at the set rate.
#include "sim/SimulatorImpl.h"

#include <algorithm>
#include <poll.h>
#include <unistd.h>

namespace pw::sim {

namespace {

// A write that took longer than this was held up, not slow: it does not move the next start.
constexpr Clock::duration kMaxWriteCost = std::chrono::microseconds(50);

} // namespace

// A USB serial adapter hands what it received to the host when its latency timer runs out
// (--adapter-latency): a reply off the wire waits for the timer's next tick, unless its last
// byte is the adapter's event character (--event-char) as the adapter hears it: a reply
// garbled by a rate the program does not speak ends with noise and waits for the tick.
Clock::time_point Simulator::Impl::deliveredAt(Clock::time_point offTheWire, const Reply& reply) const
{
    const bool endsWithEventChar =
        options.eventChar && !reply.bytes.empty() && reply.bytes.back() == 0xFF && pty.slaveRate() == loader.lineRate();
    if (options.adapterLatencyMs == 0 || endsWithEventChar)
        return offTheWire;
    const Clock::duration tick = std::chrono::milliseconds(options.adapterLatencyMs);
    const auto ticks = (offTheWire - startTime + tick - Clock::duration(1)) / tick;
    return startTime + ticks * tick;
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
        const Clock::time_point onWire = replyStart + step * static_cast<long>(reply.bytes.size());
        const Clock::time_point lastByteDue = deliveredAt(onWire, reply);
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
        outFree = onWire;
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

std::optional<Clock::time_point> Simulator::Impl::nextDeadline() const
{
    std::optional<Clock::time_point> deadline;
    if (!inbound.empty())
        deadline = inbound.front().due;
    if (!outbound.empty()) {
        const Clock::time_point next =
            replyStarted ? deliveredAt(replyStart + pace() * static_cast<long>(outbound.front().bytes.size()),
                                       outbound.front()) -
                               kSpinAhead
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

} // namespace pw::sim
