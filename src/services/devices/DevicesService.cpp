#include "DevicesService.h"
#include "core/MainThread.h"
#include "platform/ProcessRunner.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>
#include <limits>
#include <set>
#include <utility>

namespace korvo {

using Kind = ConnectedDeviceInfo::Kind;

const QString DevicesService::activityID = QStringLiteral("devices.connected");

namespace {

// The profiler is slow, so it runs on the first poll and then on every third.
constexpr std::int64_t kProfilerEvery = 3;

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

// A whole decimal number, optionally signed, and nothing else: "80" and "+80", not " 80" or
// "80.5".
std::optional<int> parseWholeNumber(const QString& text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + (c - u'0');
        if (value > std::numeric_limits<int>::max()) {
            return std::nullopt;
        }
    }
    return static_cast<int>(negative ? -value : value);
}

std::optional<ReportedBattery> readDeviceBattery(const QJsonObject& properties) {
    std::optional<int> level;
    for (auto it = properties.begin(); it != properties.end(); ++it) {
        // Main, left, right and case levels all count; the fullest one is shown.
        if (!it.key().startsWith(QLatin1String("device_batteryLevel")) || !it.value().isString()) {
            continue;
        }
        const auto number = parseWholeNumber(it.value().toString().remove(QLatin1Char('%')));
        if (number && (!level || *number > *level)) {
            level = number;
        }
    }
    if (!level) {
        return std::nullopt;
    }
    ReportedBattery battery{*level, std::nullopt};
    const auto charging = properties.value(QLatin1String("device_isCharging"));
    if (charging.isString()) {
        battery.charging = charging.toString() == QLatin1String("attrib_Yes");
    }
    return battery;
}

// Arrays whose every element is an object, as the profiler writes its sections.
std::optional<QJsonArray> arrayOfObjects(const QJsonValue& value) {
    if (!value.isArray()) {
        return std::nullopt;
    }
    const QJsonArray array = value.toArray();
    for (const auto& element : array) {
        if (!element.isObject()) {
            return std::nullopt;
        }
    }
    return array;
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
    const bool profilerDue = m_pollCount % kProfilerEvery == 0;
    ++m_pollCount;
    if (m_scanInFlight) {
        // A slow profiler must not pile up scans; the report it owes is read by the next one.
        m_profilerOwed = m_profilerOwed || profilerDue;
        return;
    }
    const bool readProfiler = profilerDue || m_profilerOwed;
    m_profilerOwed = false;
    m_scanInFlight = true;
    m_loop.runInBackground(
        Qos::utility, [this, loop = &m_loop, weak = m_life.weak(), paired = m_paired,
                       report = m_report, hid = m_hid, readProfiler, previous = m_profilerBattery] {
            Scan scan;
            if (readProfiler) {
                scan.profilerBattery = report->readBatteryReport();
            }
            const auto percentages = hid->readPercentages();
            scan.list =
                listDevices(paired->pairedDevices(),
                            scan.profilerBattery ? *scan.profilerBattery : previous, percentages);
            loop->post([this, weak, scan = std::move(scan)]() mutable {
                if (!weak.lock()) {
                    return;
                }
                m_scanInFlight = false;
                if (scan.profilerBattery) {
                    m_profilerBattery = std::move(*scan.profilerBattery);
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

BatteryReport DevicesService::readProfilerBatteries(ProcessRunner& runner) {
    const auto output = runner.run(QStringLiteral("/usr/sbin/system_profiler"),
                                   {QStringLiteral("SPBluetoothDataType"), QStringLiteral("-json"),
                                    QStringLiteral("-detailLevel"), QStringLiteral("basic")},
                                   kProfilerTimeout);
    if (!output) {
        return {};
    }
    return parseProfilerBatteries(*output);
}

BatteryReport DevicesService::parseProfilerBatteries(const QByteArray& json) {
    QJsonParseError error{};
    const auto document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return {};
    }
    const auto sections =
        arrayOfObjects(document.object().value(QLatin1String("SPBluetoothDataType")));
    if (!sections) {
        return {};
    }
    BatteryReport report;
    for (const auto& section : *sections) {
        // Only connected devices carry live figures; the other lists are never read.
        const auto connected =
            arrayOfObjects(section.toObject().value(QLatin1String("device_connected")));
        if (!connected) {
            continue;
        }
        for (const auto& entry : *connected) {
            const QJsonObject devices = entry.toObject();
            for (auto it = devices.begin(); it != devices.end(); ++it) {
                if (!it.value().isObject()) {
                    continue;
                }
                if (const auto battery = readDeviceBattery(it.value().toObject())) {
                    report.insert_or_assign(it.key(), *battery);
                }
            }
        }
    }
    return report;
}

BatteryReport ProfilerBatteryReport::readBatteryReport() {
    return DevicesService::readProfilerBatteries(*m_runner);
}

}  // namespace korvo
