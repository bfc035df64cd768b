#include "sim/SimOptions.h"

#include <charconv>

namespace pw::sim {

namespace {

struct FaultName {
    std::string_view name;
    Fault::Kind kind;
    bool takesValue;
};

constexpr FaultName kFaultNames[] = {
    {"silent-after", Fault::Kind::SilentAfter, true}, {"wrong-connect", Fault::Kind::WrongConnect, false},
    {"corrupt", Fault::Kind::Corrupt, true},          {"slow", Fault::Kind::Slow, true},
    {"hangup-after", Fault::Kind::HangupAfter, true}, {"no-baud-switch", Fault::Kind::NoBaudSwitch, false},
    {"erase-busy", Fault::Kind::EraseBusy, true},
};

} // namespace

std::optional<std::uint32_t> parseCount(std::string_view text)
{
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

std::optional<Fault> parseFault(std::string_view text)
{
    const std::size_t eq = text.find('=');
    const std::string_view name = text.substr(0, eq);
    for (const FaultName& entry : kFaultNames) {
        if (entry.name != name)
            continue;
        if (!entry.takesValue)
            return eq == std::string_view::npos ? std::optional(Fault{entry.kind, 0}) : std::nullopt;
        if (eq == std::string_view::npos)
            return std::nullopt;
        const auto value = parseCount(text.substr(eq + 1));
        if (!value)
            return std::nullopt;
        return Fault{entry.kind, *value};
    }
    return std::nullopt;
}

std::optional<std::uint32_t> faultValue(const std::vector<Fault>& faults, Fault::Kind kind)
{
    for (const Fault& fault : faults)
        if (fault.kind == kind)
            return fault.value;
    return std::nullopt;
}

} // namespace pw::sim
