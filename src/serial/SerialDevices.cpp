#include "serial/SerialDevices.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace pw {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> sortedEntries(const fs::path& folder, const std::string& prefix)
{
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) == 0)
            found.push_back(entry.path().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

// A tty with a device behind it. The kernel makes a ttyS node for every possible UART; the
// serial core's "type" attribute is 0 (unknown) where none answered at boot.
bool hasDevice(const fs::path& sysTty, const std::string& name)
{
    std::error_code error;
    if (!fs::exists(sysTty / name / "device", error))
        return false;
    if (name.compare(0, 4, "ttyS") != 0)
        return true;
    std::ifstream typeFile(sysTty / name / "type");
    int type = 0;
    if (!(typeFile >> type))
        return true; // no type to tell by: list it, the user may know better
    return type != 0;
}

std::string attribute(const fs::path& file)
{
    std::ifstream in(file);
    std::string value;
    std::getline(in, value);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\r'))
        value.pop_back();
    return value;
}

// The USB device a tty hangs below: the nearest folder up from the tty's device that has an
// idVendor attribute (the tty's device itself is a USB interface or a usb-serial port).
void readUsbAttributes(const fs::path& ttyDevice, SerialDeviceInfo& info)
{
    std::error_code error;
    for (fs::path folder = fs::canonical(ttyDevice, error); !error && folder.has_relative_path();
         folder = folder.parent_path()) {
        if (fs::exists(folder / "idVendor", error)) {
            info.vendorId = attribute(folder / "idVendor");
            info.productId = attribute(folder / "idProduct");
            info.serial = attribute(folder / "serial");
            info.manufacturer = attribute(folder / "manufacturer");
            info.product = attribute(folder / "product");
            return;
        }
    }
}

void appendPart(std::string& text, const std::string& part)
{
    if (!part.empty())
        text += (text.empty() ? "" : ", ") + part;
}

} // namespace

std::vector<std::string> listSerialDevices(const DeviceFolders& folders)
{
    std::vector<std::string> devices = sortedEntries(folders.byId, "");
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
        for (const std::string& path : sortedEntries(folders.dev, prefix)) {
            if (hasDevice(folders.sysTty, fs::path(path).filename().string()))
                devices.push_back(path);
        }
    }
    return devices;
}

std::vector<SerialDeviceInfo> describeSerialDevices(const DeviceFolders& folders)
{
    std::vector<SerialDeviceInfo> devices;
    std::vector<std::string> links;
    for (const std::string& path : listSerialDevices(folders)) {
        if (fs::path(path).parent_path() == fs::path(folders.byId)) {
            links.push_back(path);
            continue;
        }
        SerialDeviceInfo info;
        info.node = path;
        const fs::path ttyDevice = fs::path(folders.sysTty) / fs::path(path).filename() / "device";
        std::error_code error;
        const fs::path driver = fs::read_symlink(ttyDevice / "driver", error);
        info.driver = error ? "" : driver.filename().string();
        readUsbAttributes(ttyDevice, info);
        std::ifstream timer(ttyDevice / "latency_timer");
        if (int milliseconds = 0; timer >> milliseconds)
            info.latencyTimerMs = milliseconds;
        devices.push_back(std::move(info));
    }
    for (const std::string& link : links) {
        std::error_code error;
        const std::string name = fs::read_symlink(link, error).filename().string();
        for (SerialDeviceInfo& info : devices)
            if (!error && info.byId.empty() && fs::path(info.node).filename() == name)
                info.byId = link;
    }
    return devices;
}

std::string deviceDescription(const SerialDeviceInfo& info)
{
    std::string text;
    appendPart(text, info.manufacturer.empty() ? info.product
                     : info.product.empty()    ? info.manufacturer
                                               : info.manufacturer + " " + info.product);
    if (!info.vendorId.empty())
        appendPart(text, "usb " + info.vendorId + ":" + info.productId +
                             (info.serial.empty() ? "" : " serial " + info.serial));
    if (!info.driver.empty())
        appendPart(text, "driver " + info.driver);
    if (info.latencyTimerMs)
        appendPart(text, "latency timer " + std::to_string(*info.latencyTimerMs) + " ms");
    return text;
}

} // namespace pw
