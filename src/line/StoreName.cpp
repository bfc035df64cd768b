#include "line/StoreName.h"

#include <algorithm>

namespace pw {

namespace {
constexpr std::string_view kPrefix = "db:";
constexpr std::size_t kLongestName = 63;
} // namespace

std::optional<std::string> databaseName(const std::string& where)
{
    if (!where.starts_with(kPrefix))
        return std::nullopt;
    return where.substr(kPrefix.size());
}

std::string storeNameProblem(const std::string& where)
{
    const auto name = databaseName(where);
    if (!name)
        return {};
    const bool printable = std::ranges::all_of(*name, [](char c) { return c > ' ' && c <= '~'; });
    if (name->empty() || name->size() > kLongestName || !printable)
        return "takes db:NAME with 1 to 63 printable ASCII characters and no spaces, not '" + where + "'";
    return {};
}

} // namespace pw
