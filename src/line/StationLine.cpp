#include "line/StationLine.h"

#include "line/LinePorts.h"

#include <QSysInfo>
#include <QUuid>

#include <thread>

namespace pw {

StationIdentity newStationIdentity(const PreparedImage& image)
{
    return {QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString(), QSysInfo::machineHostName().toStdString(),
            &image};
}

StationLine::StationLine(const StationSetup& setup, const PreparedImage& image, const std::vector<std::string>& devices,
                         const SettingsStore& store, StationObserver& observer, RecordStore* records,
                         BoardSerials* serials)
{
    shared_.records = records;
    shared_.identity = newStationIdentity(image);
    shared_.stopAll = [this] { stop(); };
    for (std::size_t slot = 0; slot < devices.size(); ++slot) {
        const PortSetup port{devices[slot], setup.baud, setup.startAddr, setup.skipBlank};
        sessions_.push_back(std::make_unique<PortSession>(
            port, observer.boxes(slot), observer.view(slot),
            [&observer, slot](const std::string& text) { observer.notice(slot, text); }, store, serials));
        IspContext& ctx = sessions_.back()->context();
        stations_.push_back(std::make_unique<Station>(*sessions_.back(), slot, observer, shared_, setup,
                                                      adapterSerialOf(ctx.portMap.deviceFor(ctx.comPort))));
    }
}

StationLine::~StationLine() = default;

std::vector<StationTotals> StationLine::run()
{
    std::vector<StationTotals> totals(stations_.size());
    std::vector<std::thread> threads;
    for (std::size_t slot = 0; slot < stations_.size(); ++slot)
        threads.emplace_back([&, slot] { totals[slot] = stations_[slot]->run(); });
    for (std::thread& thread : threads)
        thread.join();
    return totals;
}

void StationLine::stop()
{
    for (const auto& station : stations_)
        station->stop();
}

void StationLine::endAfterBoards()
{
    for (const auto& station : stations_)
        station->endAfterBoard();
}

} // namespace pw
