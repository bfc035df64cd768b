#include "line/BoardRecord.h"

#include "line/JsonWriter.h"

#include <cstdio>

namespace pw {

std::optional<ErrorClass> errorClassOf(const BoardReport& report)
{
    if (report.hook)
        return ErrorClass{"fixture", false};
    if (report.outcome.exitCode == ExitPortError)
        return ErrorClass{"port", false};
    const OutcomeTraits& traits = traitsOf(report.outcome.result.outcome);
    if (!traits.errorClass)
        return std::nullopt;
    return ErrorClass{traits.errorClass, traits.retryable};
}

QJsonObject resultObject(const PortOutcome& outcome)
{
    QJsonObject object{
        {"operation", jsonText(outcome.operation)},           {"result", QString::fromLatin1(resultName(outcome))},
        {"message", jsonText(outcome.result.message)},        {"seconds", jsonSeconds(outcome.result.seconds)},
        {"bytes", static_cast<qint64>(outcome.result.bytes)}, {"exit", outcome.exitCode}};
    if (outcome.serial)
        insertSerialFields(object, *outcome.serial);
    return object;
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
    // Unique across every station's records: a record sent twice is known for the same one.
    record.insert("record_id", jsonText(station.startId + ":" + report.outcome.port + ":" +
                                        std::to_string(report.board) + ":" + std::to_string(report.attempt)));
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

} // namespace pw
