#include "cli/Refusal.h"

#include "cli/Console.h"
#include "line/JsonWriter.h"
#include "cli/PortRun.h"
#include "line/BoardRecord.h"

#include <cstdio>

namespace pw::cli {

int refuseRun(const CliOptions& options, const std::vector<std::string>& ports, const char* result,
              const std::string& message, ExitCode exitCode)
{
    std::fprintf(stderr, "pagewise-cli: %s\n", message.c_str());
    if (!options.json && !options.events)
        return exitCode;
    Console console(ports.size(), ConsoleMode::Events);
    for (std::size_t slot = 0; slot < ports.size(); ++slot) {
        const PortOutcome outcome{
            ports[slot], commandName(options.command), {Outcome::Refused, message, 0, 0}, exitCode, std::nullopt};
        QJsonObject fields = resultObject(outcome);
        fields.insert("result", QString::fromLatin1(result));
        if (options.events) {
            console.setLabel(slot, ports[slot], 0);
            console.event(slot, "result", fields);
        } else {
            fields.insert("port", jsonText(ports[slot]));
            std::printf("%s\n", jsonLine(fields).c_str());
        }
    }
    return exitCode;
}

} // namespace pw::cli
