#pragma once

#include "activities/Activity.h"
#include "core/Cancellable.h"
#include "core/EventBus.h"
#include "core/MainLoop.h"
#include "platform/PairedDevices.h"
#include "platform/PeripheralBatteries.h"

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace korvo {

/// Keeps the list of paired Bluetooth peripherals that matter (phones, tablets and watches while
/// paired, everything else while connected) with their batteries, and publishes it as the
/// devices activity whenever it changes. Polls every 20 s; the detailed battery report is read
/// on every third poll, the cheap percentages on every poll. Main-thread object; every scan runs
/// in the background, one at a time.
class DevicesService {
public:
    static const QString activityID;

    static constexpr double kPollInterval = 20;
    static constexpr double kPollTolerance = 3;

    /// The sources are shared with background scans that may outlive a call.
    DevicesService(MainLoop& loop, EventBus& bus, std::shared_ptr<PairedDevices> paired,
                   std::shared_ptr<BatteryReportSource> report,
                   std::shared_ptr<PeripheralBatteries> hid);
    DevicesService(const DevicesService&) = delete;
    DevicesService& operator=(const DevicesService&) = delete;

    /// Polls every 20 s from now on, and once at once.
    void start();

    const std::vector<ConnectedDeviceInfo>& lastList() const { return m_lastList; }
    std::int64_t pollCount() const { return m_pollCount; }

    /// What a device is, from its name first and its Bluetooth major class second.
    static ConnectedDeviceInfo::Kind classify(const QString& name, std::uint32_t majorClass);
    /// The list as the island shows it: filtered, merged with both battery sources and ordered.
    static std::vector<ConnectedDeviceInfo> listDevices(
        const std::optional<std::vector<PairedDevice>>& paired, const BatteryReport& detailed,
        const std::map<QString, int>& hid);

private:
    struct Scan {
        std::vector<ConnectedDeviceInfo> list;
        std::optional<BatteryReport> reportedBattery;  // present when the report was read
    };

    void poll();
    void publish(std::vector<ConnectedDeviceInfo> list);

    MainLoop& m_loop;
    EventBus& m_bus;
    std::shared_ptr<PairedDevices> m_paired;
    std::shared_ptr<BatteryReportSource> m_report;
    std::shared_ptr<PeripheralBatteries> m_hid;

    TaskHandle m_timer;
    std::vector<ConnectedDeviceInfo> m_lastList;
    BatteryReport m_reportedBattery;
    std::int64_t m_pollCount = 0;
    bool m_scanInFlight = false;
    bool m_reportOwed = false;  // a due report whose poll found the previous scan still busy
    LifeToken m_life;
};

}  // namespace korvo
