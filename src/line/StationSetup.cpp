#include "line/StationSetup.h"

#include "base/ChipTable.h"
#include "base/NumberText.h"
#include "base/OperatingRates.h"
#include "line/StoreName.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>

namespace pw {

namespace {

std::string notThis(const std::string& said, const std::string& value)
{
    return said + ", not '" + value + "'";
}

std::optional<bool> flagValue(const std::string& value)
{
    if (value == "true")
        return true;
    if (value == "false")
        return false;
    return std::nullopt;
}

// "dtr", "rts:250"
std::optional<ResetPulse> parseResetPulse(const std::string& text)
{
    const std::string line = text.substr(0, text.find(':'));
    if (line != "dtr" && line != "rts")
        return std::nullopt;
    ResetPulse pulse;
    pulse.line = line == "dtr" ? ModemLine::Dtr : ModemLine::Rts;
    if (line.size() < text.size()) {
        const auto width = parseNumber(std::string_view(text).substr(line.size() + 1));
        if (!width || *width == 0 || *width > 10000)
            return std::nullopt;
        pulse.width = Millis(*width);
    }
    return pulse;
}

std::string formatName(const SerialFormat& format)
{
    switch (format.kind) {
    case SerialFormat::Kind::Bcd: return "bcd" + std::to_string(format.bytes);
    case SerialFormat::Kind::Decimal: return "dec" + std::to_string(format.bytes);
    case SerialFormat::Kind::Binary: break;
    }
    if (format.bytes == 1)
        return "u8";
    return "u" + std::to_string(format.bytes * 8) + (format.bigEndian ? "be" : "le");
}

using Setter = std::function<std::string(StationSetup&, const std::string&)>;
using Getter = std::function<std::string(const StationSetup&)>;
struct Key {
    const char* name;
    Setter set;
    Getter get;
};

// An empty value leaves a key unset: the settings' value, or none.
template <typename T>
std::string unset(std::optional<T>& field)
{
    field.reset();
    return {};
}

std::string hexOrEmpty(const std::optional<std::uint32_t>& value)
{
    return value ? "0x" + hexText(*value) : std::string();
}

// A record store or a pool: a file's path, or db:NAME.
Key storeKey(const char* name, std::string StationSetup::*member)
{
    return {name,
            [member](StationSetup& s, const std::string& v) {
                s.*member = v;
                return storeNameProblem(v);
            },
            [member](const StationSetup& s) { return s.*member; }};
}

Key textKey(const char* name, std::string StationSetup::*member)
{
    return {name,
            [member](StationSetup& s, const std::string& v) {
                s.*member = v;
                return std::string();
            },
            [member](const StationSetup& s) { return s.*member; }};
}

Key flagKey(const char* name, bool StationSetup::*member)
{
    return {name,
            [member](StationSetup& s, const std::string& v) {
                const auto flag = flagValue(v);
                s.*member = flag.value_or(false);
                return flag ? std::string() : notThis("must be true or false", v);
            },
            [member](const StationSetup& s) { return std::string(s.*member ? "true" : "false"); }};
}

// One row per key: how its text is read, and how it is written back.
const std::vector<Key>& keyTable()
{
    static const std::vector<Key> keys = {
        textKey("image", &StationSetup::image),
        {"operation",
         [](StationSetup& s, const std::string& v) {
             if (v != "auto" && v != "program")
                 return notThis("must be auto or program", v);
             s.operation = v == "auto" ? StationOperation::Auto : StationOperation::Program;
             return std::string();
         },
         [](const StationSetup& s) { return std::string(operationName(s.operation)); }},
        {"port",
         [](StationSetup& s, const std::string& v) {
             if (v.empty())
                 return std::string(); // none: the configured port
             std::size_t begin = 0;
             for (;;) {
                 const std::size_t comma = std::min(v.find(',', begin), v.size());
                 std::string port = v.substr(begin, comma - begin);
                 port.erase(0, port.find_first_not_of(' '));
                 port.erase(port.find_last_not_of(' ') + 1);
                 if (port.empty())
                     return notThis("needs a port between its commas", v);
                 s.ports.push_back(port);
                 if (comma == v.size())
                     return std::string();
                 begin = comma + 1;
             }
         },
         [](const StationSetup& s) {
             std::string text;
             for (const std::string& port : s.ports)
                 text += (text.empty() ? "" : ",") + port;
             return text;
         }},
        {"baud",
         [](StationSetup& s, const std::string& v) {
             if (v.empty())
                 return unset(s.baud);
             s.baud = parseNumber(v);
             if (!s.baud || !isOperatingRate(*s.baud))
                 return notThis("must be 9600, 57600 or 115200", v);
             return std::string();
         },
         [](const StationSetup& s) { return s.baud ? std::to_string(*s.baud) : std::string(); }},
        {"start-addr",
         [](StationSetup& s, const std::string& v) {
             if (v.empty())
                 return unset(s.startAddr);
             s.startAddr = parseNumber(v);
             if (!s.startAddr || *s.startAddr > kWireAddressSpan || *s.startAddr % kBlockSize != 0)
                 return notThis("must be a multiple of 0x800 from 0 to 0x10000", v);
             return std::string();
         },
         [](const StationSetup& s) { return hexOrEmpty(s.startAddr); }},
        storeKey("record", &StationSetup::record),
        {"retries",
         [](StationSetup& s, const std::string& v) {
             const auto count = parseNumber(v);
             if (!count || *count > 100)
                 return notThis("takes a count from 0 to 100", v);
             s.retries = *count;
             return std::string();
         },
         [](const StationSetup& s) { return std::to_string(s.retries); }},
        textKey("before-board", &StationSetup::beforeBoard),
        textKey("after-board", &StationSetup::afterBoard),
        {"reset-pulse",
         [](StationSetup& s, const std::string& v) {
             if (v.empty())
                 return unset(s.resetPulse);
             s.resetPulse = parseResetPulse(v);
             if (!s.resetPulse)
                 return notThis("takes dtr or rts, and :MS from 1 to 10000", v);
             return std::string();
         },
         [](const StationSetup& s) { return s.resetPulse ? resetPulseText(*s.resetPulse) : std::string(); }},
        {"serial",
         [](StationSetup& s, const std::string& v) {
             if (v.empty())
                 return unset(s.serial);
             std::string problem;
             s.serial = parseSerialField(v, problem);
             return s.serial ? std::string() : problem;
         },
         [](const StationSetup& s) { return s.serial ? serialFieldText(*s.serial) : std::string(); }},
        storeKey("serial-pool", &StationSetup::serialPool),
        textKey("database", &StationSetup::database),
        flagKey("serial-overwrite", &StationSetup::serialOverwrite),
        flagKey("skip-blank", &StationSetup::skipBlank),
    };
    return keys;
}

const Key* findKey(const std::string& name)
{
    for (const Key& key : keyTable())
        if (name == key.name)
            return &key;
    return nullptr;
}

} // namespace

const std::vector<std::string>& stationKeys()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const Key& key : keyTable())
            all.emplace_back(key.name);
        return all;
    }();
    return names;
}

bool isFlagKey(const std::string& key)
{
    return key == "serial-overwrite" || key == "skip-blank";
}

std::string setStationValue(StationSetup& setup, const std::string& key, const std::string& value)
{
    const Key* found = findKey(key);
    return found ? found->set(setup, value) : "is no key of a station";
}

std::string stationValue(const StationSetup& setup, const std::string& key)
{
    const Key* found = findKey(key);
    return found ? found->get(setup) : std::string();
}

std::string stationSetupProblem(const StationSetup& setup)
{
    if (setup.serial.has_value() != !setup.serialPool.empty())
        return "--serial and --serial-pool go together";
    if (setup.serialOverwrite && !setup.serial)
        return "--serial-overwrite needs --serial";
    return {};
}

const char* operationName(StationOperation operation)
{
    return operation == StationOperation::Auto ? "auto" : "program";
}

std::string resetPulseText(const ResetPulse& pulse)
{
    return std::string(pulse.line == ModemLine::Dtr ? "dtr" : "rts") + ":" + std::to_string(pulse.width.count());
}

std::string serialFieldText(const SerialField& field)
{
    return "0x" + hexText(field.address) + ":" + formatName(field.format);
}

} // namespace pw
