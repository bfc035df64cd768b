#pragma once
// Table-driven tests: every row has a `name`; ctest and failure messages show it instead of
// the row's raw bytes. In a test file: `using pw::test::PrintTo;` beside the row types, and
// `rowName` as the name generator of INSTANTIATE_TEST_SUITE_P.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>

namespace pw::test {

template <typename Row>
concept NamedRow = requires(const Row& row)
{
    {
        row.name
        } -> std::convertible_to<std::string_view>;
};

template <NamedRow Row>
void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.name;
}

inline constexpr auto rowName = [](const auto& info) { return std::string(info.param.name); };

} // namespace pw::test
