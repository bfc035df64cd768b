#include "cli/BoardRecord.h"

#include "cli/JsonWriter.h"
#include "cli/RunReport.h"

#include <cstdio>

namespace pw::cli {

std::optional<ErrorClass> errorClassOf(const BoardReport& report)
{
    if (report.hook)
        return ErrorClass{"fixture", false};
    if (report.outcome.exitCode == ExitPortError)
        return ErrorClass{"port", false};
    switch (report.outcome.result.outcome) {
    case Outcome::Success: return std::nullopt;
    case Outcome::Mismatch: return ErrorClass{"target", false};
    case Outcome::TimedOut: return ErrorClass{"target", true};
    case Outcome::WrongReply: return ErrorClass{"target", false};
    case Outcome::LineLost: return ErrorClass{"line", true};
    case Outcome::Cancelled: return ErrorClass{"cancelled", false};
    case Outcome::ImageError: return ErrorClass{"image", false};
    case Outcome::Refused: return ErrorClass{"port", false};
    }
    return std::nullopt;
}

QJsonObject boardFields(const BoardReport& report)
{
    QJsonObject fields = resultObject(report.outcome);
    fields.insert("board", static_cast<qint64>(report.board));
    fields.insert("attempt", static_cast<qint64>(report.attempt));
    QJsonObject phases;
    for (const auto& [phase, seconds] : report.phases)
        phases.insert(QString::fromStdString(phase), jsonSeconds(seconds));
    fields.insert("phases", phases);
    if (const auto error = errorClassOf(report)) {
        fields.insert("error_class", QString::fromLatin1(error->name));
        fields.insert("retryable", error->retryable);
    }
    if (report.hook) {
        fields.insert("result", "hook-error");
        fields.insert("hook", QString::fromStdString(*report.hook));
        fields.insert("hook_status", jsonText(report.hookResult.status));
        fields.insert("hook_output", jsonText(report.hookResult.outputTail));
    }
    return fields;
}

QJsonObject boardRecord(const BoardReport& report, const StationIdentity& station, const std::string& adapterSerial)
{
    QJsonObject record = boardFields(report);
    record.insert("v", 2);
    record.insert("time", jsonText(utcTimeText()));
    record.insert("port", jsonText(report.outcome.port));
    record.insert("adapter_serial", jsonText(adapterSerial));
    record.insert("start_id", jsonText(station.startId));
    record.insert("host", jsonText(station.host));
    record.insert("image", jsonText(station.image->binaryPath));
    record.insert("size", jsonText(station.image->sizeText));
    record.insert("checksum", jsonText(station.image->checksumText));
    record.insert("image_sha256", jsonText(station.image->sha256));
    return record;
}

std::string boardLine(const BoardReport& report)
{
    const bool passed = !errorClassOf(report);
    char head[200];
    std::snprintf(head, sizeof head, "%s %s board %u %.1f s", passed ? "PASS" : "FAIL", report.outcome.port.c_str(),
                  report.board, report.outcome.result.seconds);
    if (passed)
        return head;
    if (report.hook)
        return std::string(head) + " " + *report.hook + ": " + report.hookResult.status;
    return std::string(head) + " " + resultName(report.outcome) + ": " + report.outcome.result.message;
}

} // namespace pw::cli
