#include "line/Outcomes.h"

#include <array>
#include <utility>

namespace pw {

namespace {

// In the order of Outcome.
constexpr std::array kOutcomeTraits = {
    std::pair{Outcome::Success, OutcomeTraits{"success", nullptr, false, ExitSuccess}},
    std::pair{Outcome::Mismatch, OutcomeTraits{"mismatch", "target", false, ExitMismatch}},
    std::pair{Outcome::TimedOut, OutcomeTraits{"timeout", "target", true, ExitNoReply}},
    std::pair{Outcome::LineLost, OutcomeTraits{"hang-up", "line", true, ExitNoReply}},
    std::pair{Outcome::Cancelled, OutcomeTraits{"cancelled", "cancelled", false, ExitNoReply}},
    std::pair{Outcome::ImageError, OutcomeTraits{"image-error", "image", false, ExitBadInput}},
    std::pair{Outcome::Refused, OutcomeTraits{"refused", "port", false, ExitBadInput}},
    std::pair{Outcome::WrongReply, OutcomeTraits{"wrong-reply", "target", false, ExitNoReply}},
};

constexpr std::array kStopTraits = {
    std::pair{StopReason::RecordNotKept, StopTraits{"record-error", ExitNotKept}},
    std::pair{StopReason::SerialPool, StopTraits{"serial-error", ExitNotKept}},
    std::pair{StopReason::PortGone, StopTraits{"port-error", ExitPortError}},
    std::pair{StopReason::ResetLineFailed, StopTraits{"port-error", ExitPortError}},
    std::pair{StopReason::ImageUnusable, StopTraits{"image-error", ExitBadInput}},
};

template <typename Table, typename Key>
const auto& rowOf(const Table& table, Key key)
{
    for (const auto& [rowKey, traits] : table)
        if (rowKey == key)
            return traits;
    return table.front().second;
}

} // namespace

const OutcomeTraits& traitsOf(Outcome outcome)
{
    return rowOf(kOutcomeTraits, outcome);
}

const StopTraits& traitsOf(StopReason reason)
{
    return rowOf(kStopTraits, reason);
}

} // namespace pw
