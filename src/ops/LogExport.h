#pragma once
#include <string>
#include <vector>

namespace pw {

inline constexpr const char* kLogFileName = "ISP_log.txt";
inline constexpr const char* kLogCreateFailedText = "Could not create the file!";

struct LogExportResult {
    bool written = false;
    std::string path; // where the log went, or where it could not be written
};

// Writes every line as "%s\r\n" to <exeDir>ISP_log.txt, replacing it completely or not at all.
// When the program's folder is not writable (an installed program), the log goes to the
// user's data folder ($XDG_DATA_HOME or ~/.local/share, then Corvane/Pagewise) instead.
LogExportResult exportLog(const std::vector<std::string>& lines, const std::string& exeDir);

// The user's data folder for Pagewise, with a trailing '/'; empty when neither variable is set.
std::string userDataFolder();

} // namespace pw
