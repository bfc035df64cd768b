#include "settings/Settings.h"

#include "base/NumberText.h"
#include "base/OperatingRates.h"

#include "settings/SettingsFile.h"

#include <cstdlib>
#include <utility>

namespace pw {

namespace {

constexpr const char* kPortValue = "COMPort";
constexpr const char* kRateValue = "BaudRate";
constexpr const char* kStartValue = "ISP Start Addr";

std::string defaultUserFile()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config && config[0] == '/') {
        folder = config;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::string(home ? home : "") + "/.config";
    }
    return folder + "/Corvane/Pagewise.conf";
}

} // namespace

SettingsStore::SettingsStore() : SettingsStore(defaultUserFile(), "/etc/xdg/Corvane/Pagewise.conf") {}

SettingsStore::SettingsStore(std::string userFile, std::string systemFile)
    : userFile_(std::move(userFile)), systemFile_(std::move(systemFile))
{
}

std::vector<std::string> SettingsStore::problems() const
{
    std::vector<std::string> found;
    for (const std::string& file : {userFile_, systemFile_}) {
        const std::string reason = settings_file::unusableReason(file);
        if (!reason.empty())
            found.push_back("The settings file " + file + " is not used, and the program will not change it: " +
                            reason + ". Mend or remove it; until then the defaults apply.");
    }
    return found;
}

std::optional<std::uint32_t> SettingsStore::readValue(const std::string& name) const
{
    if (auto value = settings_file::readNumber(userFile_, name))
        return value;
    return settings_file::readNumber(systemFile_, name);
}

bool SettingsStore::writeValue(const std::string& name, std::uint32_t value)
{
    return settings_file::writeNumber(userFile_, name, value);
}

std::map<std::uint32_t, std::string> SettingsStore::readPortMap() const
{
    auto entries = settings_file::readPorts(systemFile_);
    for (auto& [number, device] : settings_file::readPorts(userFile_))
        entries[number] = std::move(device);
    return entries;
}

bool SettingsStore::writePortMap(const std::map<std::uint32_t, std::string>& entries)
{
    return settings_file::writePorts(userFile_, entries);
}

std::uint8_t portSetting(const SettingsStore& store)
{
    const auto port = static_cast<std::uint8_t>(store.readValue(kPortValue).value_or(0) & 0xFF);
    return (port == 0 || port > kLastComPort) ? 1 : port;
}

void loadPort(IspContext& ctx, const SettingsStore& store)
{
    ctx.comPort = portSetting(store);
}

void loadRate(IspContext& ctx, const SettingsStore& store)
{
    const std::uint32_t rate = store.readValue(kRateValue).value_or(0);
    ctx.baudRate = isOperatingRate(rate) ? rate : kOperatingRates[0];
}

std::uint32_t startAddressSetting(const SettingsStore& store)
{
    const std::uint32_t address = store.readValue(kStartValue).value_or(0);
    return address > 0x10000 ? 0 : address;
}

void loadStartAddress(IspContext& ctx, const SettingsStore& store)
{
    ctx.ispStartAddr = startAddressSetting(store);
}

void loadPortMap(IspContext& ctx, const SettingsStore& store)
{
    ctx.portMap.replaceAll(store.readPortMap());
}

void loadSettings(IspContext& ctx, const SettingsStore& store)
{
    loadPort(ctx, store);
    loadRate(ctx, store);
    loadStartAddress(ctx, store);
    loadPortMap(ctx, store);
}

void savePort(const IspContext& ctx, SettingsStore& store)
{
    store.writeValue(kPortValue, ctx.comPort);
}

void saveRate(const IspContext& ctx, SettingsStore& store)
{
    store.writeValue(kRateValue, ctx.baudRate);
}

void saveStartAddress(const IspContext& ctx, SettingsStore& store)
{
    store.writeValue(kStartValue, ctx.ispStartAddr);
}

void savePortMap(const IspContext& ctx, SettingsStore& store)
{
    store.writePortMap(ctx.portMap.entries());
}

} // namespace pw
