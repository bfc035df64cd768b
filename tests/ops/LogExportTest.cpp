#include "ops/LogExport.h"
#include "support/ScopedEnv.h"
#include "support/EngineBench.h"
#include "support/Tables.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace pw::test {
namespace {

struct ExportRow {
    const char* name;
    std::string folder;     // below the test folder
    bool dataFolderBlocked; // a file where the user data folder would be
    std::vector<std::string> lines;
    std::string writtenTo; // below the test folder; "" when nothing can be written
    std::string content;
};
using pw::test::PrintTo;

class LogExport : public ::testing::TestWithParam<ExportRow> {};

// Each line ends in CR LF (a line's own LF stays), a second export replaces the first, and
// the user data folder takes the file when the program's folder is not writable.
TEST_P(LogExport, WritesWhereItCanAndSaysWhere)
{
    const ExportRow& row = GetParam();
    const TempDir dir;
    const std::string root = dir.path().toStdString();
    const ScopedEnv dataHome("XDG_DATA_HOME", root + "/data");
    if (row.dataFolderBlocked)
        writeFile(root + "/data", "a file where the folder should be");
    exportLog({"an earlier export"}, root + "/");

    const LogExportResult result = exportLog(row.lines, root + row.folder);
    EXPECT_EQ(result.written, !row.writtenTo.empty());
    EXPECT_EQ(result.path, root + (row.writtenTo.empty() ? row.folder + "ISP_log.txt" : row.writtenTo));
    if (result.written) {
        EXPECT_EQ(fileText(result.path), row.content);
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Places, LogExport, ::testing::Values(
    ExportRow{"program_folder", "/", false, {"Begin programming.............", "program elapsed time : 1.2 seconds\n"},
        "/ISP_log.txt", "Begin programming.............\r\nprogram elapsed time : 1.2 seconds\n\r\n"},
    ExportRow{"empty_log_replaces", "/", false, {}, "/ISP_log.txt", ""},
    ExportRow{"user_data_folder", "/missing/", false, {"line"}, "/data/Corvane/Pagewise/ISP_log.txt", "line\r\n"},
    ExportRow{"nowhere", "/missing/", true, {"line"}, "", ""}
), rowName);
// clang-format on

} // namespace
} // namespace pw::test
