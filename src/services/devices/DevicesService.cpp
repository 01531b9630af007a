#include "DevicesService.h"
#include "core/MainThread.h"

#include <algorithm>
#include <set>
#include <utility>

namespace korvo {

using Kind = ConnectedDeviceInfo::Kind;

const QString DevicesService::activityID = QStringLiteral("devices.connected");

namespace {

// The detailed battery report is the slow read, so it is taken on the first poll and then on
// every third.
constexpr std::int64_t kReportEvery = 3;

bool listedWhileOnlyPaired(Kind kind) {
    return kind == Kind::iphone || kind == Kind::ipad || kind == Kind::watch;
}

int kindRank(Kind kind) {
    switch (kind) {
        case Kind::iphone:
            return 0;
        case Kind::watch:
            return 1;
        case Kind::ipad:
            return 2;
        case Kind::airpods:
        case Kind::airpodsPro:
        case Kind::airpodsMax:
        case Kind::headphones:
            return 3;
        case Kind::keyboard:
        case Kind::mouse:
        case Kind::trackpad:
        case Kind::other:
            break;
    }
    return 4;
}

}  // namespace

DevicesService::DevicesService(MainLoop& loop, EventBus& bus, std::shared_ptr<PairedDevices> paired,
                               std::shared_ptr<BatteryReportSource> report,
                               std::shared_ptr<PeripheralBatteries> hid)
    : m_loop(loop),
      m_bus(bus),
      m_paired(std::move(paired)),
      m_report(std::move(report)),
      m_hid(std::move(hid)) {}

void DevicesService::start() {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    m_timer = m_loop.scheduleRepeating(kPollInterval, kPollTolerance, [this, weak = m_life.weak()] {
        if (weak.lock()) {
            poll();
        }
    });
    poll();
}

void DevicesService::poll() {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    const bool reportDue = m_pollCount % kReportEvery == 0;
    ++m_pollCount;
    if (m_scanInFlight) {
        // A slow report must not pile up scans; the one it owes is read by the next scan.
        m_reportOwed = m_reportOwed || reportDue;
        return;
    }
    const bool readReport = reportDue || m_reportOwed;
    m_reportOwed = false;
    m_scanInFlight = true;
    m_loop.runInBackground(
        Qos::utility, [this, loop = &m_loop, weak = m_life.weak(), paired = m_paired,
                       report = m_report, hid = m_hid, readReport, previous = m_reportedBattery] {
            Scan scan;
            if (readReport) {
                scan.reportedBattery = report->readBatteryReport();
            }
            const auto percentages = hid->readPercentages();
            scan.list =
                listDevices(paired->pairedDevices(),
                            scan.reportedBattery ? *scan.reportedBattery : previous, percentages);
            loop->post([this, weak, scan = std::move(scan)]() mutable {
                if (!weak.lock()) {
                    return;
                }
                m_scanInFlight = false;
                if (scan.reportedBattery) {
                    m_reportedBattery = std::move(*scan.reportedBattery);
                }
                publish(std::move(scan.list));
            });
        });
}

void DevicesService::publish(std::vector<ConnectedDeviceInfo> list) {
    if (list == m_lastList) {
        return;
    }
    m_lastList = std::move(list);
    if (m_lastList.empty()) {
        m_bus.post(ActivityEnded{activityID});
        return;
    }
    m_bus.post(ActivityUpdated{Activity{activityID, Activity::Kind::bluetooth,
                                        ActivityPriority::low, m_loop.wallNow(), m_lastList}});
}

Kind DevicesService::classify(const QString& name, std::uint32_t majorClass) {
    static const std::pair<QLatin1String, Kind> table[] = {
        {QLatin1String("iphone"), Kind::iphone},
        {QLatin1String("ipad"), Kind::ipad},
        {QLatin1String("watch"), Kind::watch},
        {QLatin1String("airpods pro"), Kind::airpodsPro},
        {QLatin1String("airpods max"), Kind::airpodsMax},
        {QLatin1String("airpods"), Kind::airpods},
        {QLatin1String("keyboard"), Kind::keyboard},
        {QLatin1String("mouse"), Kind::mouse},
        {QLatin1String("trackpad"), Kind::trackpad},
    };
    const QString lower = name.toLower();
    for (const auto& [text, kind] : table) {
        if (lower.contains(text)) {
            return kind;
        }
    }
    switch (majorClass) {
        case 2:
            return Kind::iphone;
        case 4:
            return Kind::headphones;
        case 7:
            return Kind::watch;
        default:
            return Kind::other;
    }
}

std::vector<ConnectedDeviceInfo> DevicesService::listDevices(
    const std::optional<std::vector<PairedDevice>>& paired, const BatteryReport& detailed,
    const std::map<QString, int>& hid) {
    std::vector<ConnectedDeviceInfo> list;
    if (!paired) {
        return list;
    }
    std::set<QString> listedNames;
    for (const auto& device : *paired) {
        if (!device.name || device.name->isEmpty() || listedNames.count(*device.name) > 0) {
            continue;
        }
        const QString& name = *device.name;
        ConnectedDeviceInfo info;
        info.kind = classify(name, device.majorClass);
        if (!device.connected && !listedWhileOnlyPaired(info.kind)) {
            continue;  // skipped devices leave the name to a later one
        }
        listedNames.insert(name);
        info.id = device.address && !device.address->isEmpty() ? *device.address : name;
        info.name = name;
        info.isLinkActive = device.connected;
        if (const auto it = detailed.find(name); it != detailed.end()) {
            info.battery = it->second.level;
            info.isCharging = it->second.charging;
        } else if (const auto hidIt = hid.find(name); hidIt != hid.end()) {
            info.battery = hidIt->second;
        }
        list.push_back(std::move(info));
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const ConnectedDeviceInfo& a, const ConnectedDeviceInfo& b) {
                         if (a.isLinkActive != b.isLinkActive) {
                             return a.isLinkActive;
                         }
                         return kindRank(a.kind) < kindRank(b.kind);
                     });
    return list;
}

}  // namespace korvo
