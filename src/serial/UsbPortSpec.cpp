#include "serial/UsbPortSpec.h"

#include <algorithm>
#include <cctype>

namespace pw {

namespace {

constexpr std::string_view kPrefix = "usb:";

bool sameHex(const std::string& a, const std::string& b)
{
    return std::ranges::equal(a, b, [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

std::vector<std::string> fieldsOf(std::string_view text)
{
    std::vector<std::string> fields;
    std::size_t begin = 0;
    for (std::size_t colon; (colon = text.find(':', begin)) != std::string_view::npos; begin = colon + 1)
        fields.emplace_back(text.substr(begin, colon - begin));
    fields.emplace_back(text.substr(begin));
    return fields;
}

bool matches(const std::vector<std::string>& fields, const SerialDeviceInfo& info)
{
    if (info.vendorId.empty())
        return false;
    if (fields.size() == 1)
        return info.serial == fields[0];
    return sameHex(info.vendorId, fields[0]) && sameHex(info.productId, fields[1]) &&
           (fields.size() == 2 || info.serial == fields[2]);
}

std::string presentList(const std::vector<SerialDeviceInfo>& devices)
{
    std::string list;
    for (const SerialDeviceInfo& info : devices)
        if (!info.vendorId.empty())
            list += "\n  " + info.node + ": " + deviceDescription(info);
    return list.empty() ? " no USB serial adapter is present" : " the USB serial adapters present are:" + list;
}

} // namespace

bool isUsbPortSpec(std::string_view text)
{
    return text.starts_with(kPrefix);
}

UsbPortMatch resolveUsbPort(const std::string& wanted, const std::vector<SerialDeviceInfo>& devices)
{
    const std::vector<std::string> fields = fieldsOf(std::string_view(wanted).substr(kPrefix.size()));
    if (fields.size() > 3 || std::ranges::any_of(fields, [](const std::string& f) { return f.empty(); }))
        return {{}, wanted + " is not usb:SERIAL or usb:VID:PID[:SERIAL]"};
    std::vector<const SerialDeviceInfo*> found;
    for (const SerialDeviceInfo& info : devices)
        if (matches(fields, info))
            found.push_back(&info);
    if (found.size() == 1)
        return {found[0]->byId.empty() ? found[0]->node : found[0]->byId, {}};
    const std::string what = found.empty() ? wanted + " matches no adapter;"
                                           : wanted + " matches " + std::to_string(found.size()) +
                                                 " adapters, name one by its serial number;";
    return {{}, what + presentList(devices)};
}

} // namespace pw
