#include "cli/RunReport.h"

#include "line/BoardRecord.h"
#include "line/JsonWriter.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace pw::cli {

namespace {

std::string firstLine(const std::string& text)
{
    return text.substr(0, text.find('\n'));
}

} // namespace

std::string jsonResultLine(const PortOutcome& outcome)
{
    QJsonObject object = resultObject(outcome);
    object.insert("port", jsonText(outcome.port));
    return jsonLine(object);
}

void printReport(const std::vector<PortOutcome>& outcomes, const CliOptions& options)
{
    if (options.events)
        return; // each port's result was its last event
    if (options.json) {
        for (const PortOutcome& outcome : outcomes)
            std::printf("%s\n", jsonResultLine(outcome).c_str());
        return;
    }
    if (options.quiet)
        return;
    std::printf("\n%-24s %-10s %-12s %8s  %s\n", "port", "operation", "result", "seconds", "message");
    for (const PortOutcome& outcome : outcomes) {
        std::printf("%-24s %-10s %-12s %8.1f  %s\n", outcome.port.c_str(), outcome.operation.c_str(),
                    resultName(outcome), outcome.result.seconds, firstLine(outcome.result.message).c_str());
    }
}

namespace {

// Into a target that is no regular file (a device, a FIFO) the bytes are written, never renamed
// over it; a failed write or close is an error, as /dev/full gives one.
std::error_code copyInto(const std::filesystem::path& from, const std::string& to)
{
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    if (!in || !out)
        return std::error_code(errno ? errno : EIO, std::generic_category());
    out << in.rdbuf();
    out.close();
    if (!out)
        return std::error_code(errno ? errno : EIO, std::generic_category());
    return {};
}

} // namespace

bool moveDumpFile(const CliOptions& options)
{
    const std::filesystem::path written = options.dumpAsText ? "Dump.txt" : "Dump.bin";
    std::error_code error;
    const std::filesystem::file_status target = std::filesystem::status(options.output, error);
    error.clear();
    if (std::filesystem::exists(target) && !std::filesystem::is_regular_file(target)) {
        errno = 0;
        error = copyInto(written, options.output);
    } else {
        std::filesystem::rename(written, options.output, error);
        if (error == std::errc::cross_device_link) {
            error.clear();
            std::filesystem::copy_file(written, options.output, std::filesystem::copy_options::overwrite_existing,
                                       error);
        }
    }
    if (!error && std::filesystem::exists(written))
        std::filesystem::remove(written, error);
    if (error) {
        std::fprintf(stderr, "pagewise-cli: could not write the dump to %s: %s; it stays in %s\n",
                     options.output.c_str(), error.message().c_str(), written.c_str());
        return false;
    }
    return true;
}

void printImageInfo(const PreparedImage& image, bool json)
{
    if (json) {
        const QJsonObject info{{"image", jsonText(image.binaryPath)},
                               {"size", jsonText(image.sizeText)},
                               {"checksum", jsonText(image.checksumText)}};
        std::printf("%s\n", jsonLine(info).c_str());
        return;
    }
    std::printf("Size: %s\nCheck Sum: %s\n", image.sizeText.c_str(), image.checksumText.c_str());
}

} // namespace pw::cli
