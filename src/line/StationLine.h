#pragma once
#include "line/BoardSerials.h"
#include "line/ImageInput.h"
#include "line/PortSession.h"
#include "line/RecordStore.h"
#include "line/Station.h"
#include "line/StationObserver.h"
#include "line/StationSetup.h"
#include "settings/Settings.h"

#include <memory>
#include <string>
#include <vector>

namespace pw {

// A line: one station per port, side by side on threads of their own, sharing the record
// store, the serial numbers and the stop. `devices`: the ports as resolved (usb:SERIAL
// followed; "" for the configured one); `records` and `serials` null when not used.
class StationLine {
public:
    StationLine(const StationSetup& setup, const PreparedImage& image, const std::vector<std::string>& devices,
                const SettingsStore& store, StationObserver& observer, RecordStore* records, BoardSerials* serials);
    ~StationLine();

    std::size_t size() const { return stations_.size(); }
    const std::string& label(std::size_t slot) const { return sessions_[slot]->label(); }
    // Runs every station until each has ended; their totals in port order.
    std::vector<StationTotals> run();
    // Every station ends after the board it is on; asked again, they cancel those boards.
    void stop();
    // Every station ends after the board it is on, however often it is asked.
    void endAfterBoards();

private:
    StationShared shared_;
    std::vector<std::unique_ptr<PortSession>> sessions_;
    std::vector<std::unique_ptr<Station>> stations_;
};

// A new id for a station's start, and this machine's name, for its records.
StationIdentity newStationIdentity(const PreparedImage& image);

} // namespace pw
