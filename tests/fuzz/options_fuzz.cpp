// libFuzzer target: the option values a person types, a --serial ADDR:FORMAT on the first line
// and a --port list (devices, COMn, usb:...) on the second. Reading never crashes; what reads
// well is written back to the same, a placed number fills its field exactly, and a usb: name
// names one of the adapters present or says why not.
#include "line/SerialField.h"
#include "line/StationSetup.h"
#include "serial/UsbPortSpec.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const auto newline = input.find('\n');
    const std::string serialText = input.substr(0, newline);
    const std::string portText = newline == std::string::npos ? std::string() : input.substr(newline + 1);

    std::string problem;
    if (const auto field = pw::parseSerialField(serialText, problem)) {
        const auto again = pw::parseSerialField(pw::serialFieldText(*field), problem);
        if (!again || pw::serialFieldText(*again) != pw::serialFieldText(*field))
            std::abort();
        for (const std::uint64_t number : {std::uint64_t{0}, pw::largestSerial(field->format)}) {
            const auto placed = pw::placeSerial(*field, number);
            if (!placed || placed->patch.address != field->address || placed->patch.bytes.size() != field->format.bytes)
                std::abort();
        }
    } else if (problem.empty()) {
        std::abort(); // refused without a reason
    }

    pw::StationSetup setup;
    if (pw::setStationValue(setup, "port", portText).empty()) {
        pw::StationSetup again;
        if (!pw::setStationValue(again, "port", pw::stationValue(setup, "port")).empty() || again.ports != setup.ports)
            std::abort();
        const std::vector<pw::SerialDeviceInfo> present = {
            {"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI-if00", "0403", "6001", "A1B2C3", "FTDI", "FT232R", "ftdi_sio",
             16},
            {"/dev/ttyACM0", "", "2341", "0043", "", "", "", "cdc_acm", std::nullopt}};
        for (const std::string& port : setup.ports)
            if (pw::isUsbPortSpec(port)) {
                const pw::UsbPortMatch match = pw::resolveUsbPort(port, present);
                const bool named = match.device == present[0].byId || match.device == present[1].node;
                if (match.error.empty() != named)
                    std::abort();
            }
    }
    return 0;
}
