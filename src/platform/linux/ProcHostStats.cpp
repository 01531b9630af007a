#include "ProcHostStats.h"

#include <QDir>

#include <algorithm>
#include <charconv>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace korvo {

namespace {

constexpr std::uint64_t kSectorBytes = 512;  // diskstats counts 512-byte sectors on every device

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && (isBlank(text.front()) || text.front() == '\n')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (isBlank(text.back()) || text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return text;
}

// Splits a line into its blank-separated fields.
std::size_t fields(std::string_view line, std::string_view* out, std::size_t max) {
    std::size_t count = 0;
    std::size_t i = 0;
    while (count < max) {
        while (i < line.size() && isBlank(line[i])) {
            ++i;
        }
        if (i == line.size()) {
            break;
        }
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i])) {
            ++i;
        }
        out[count++] = line.substr(start, i - start);
    }
    return count;
}

template <typename Number>
std::optional<Number> number(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// Calls `fn(line)` for every line of `text`.
template <typename Fn>
void eachLine(std::string_view text, Fn&& fn) {
    while (!text.empty()) {
        const auto end = text.find('\n');
        fn(text.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
}

std::string namesKey(const std::vector<std::string_view>& names) {
    std::string key;
    for (const auto name : names) {
        key.append(name);
        key.push_back('\n');
    }
    return key;
}

}  // namespace

ProcHostStats::ProcHostStats(const QString& root) : m_root(root.toStdString()) {
    while (!m_root.empty() && m_root.back() == '/') {
        m_root.pop_back();
    }
    m_buffer.reserve(16 * 1024);
}

std::string ProcHostStats::path(std::string_view relative) const {
    std::string full = m_root;
    full.append(relative);
    return full;
}

bool ProcHostStats::read(const std::string& file, std::size_t limit) {
    m_buffer.clear();
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool ok = true;
    char chunk[4096];
    while (m_buffer.size() < limit) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0) {
            break;
        }
        m_buffer.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ok;
}

bool ProcHostStats::exists(const std::string& file) const {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0;
}

std::optional<CPUTicks> ProcHostStats::cpuTicks() {
    // The aggregate line comes first; one read of a page is enough even with many processors.
    if (!read(path("/proc/stat"), 4096)) {
        return std::nullopt;
    }
    const std::string_view text = m_buffer;
    const std::string_view line = text.substr(0, text.find('\n'));
    std::string_view f[9];
    const std::size_t count = fields(line, f, 9);
    if (count < 5 || f[0] != "cpu") {
        return std::nullopt;
    }
    // user nice system idle [iowait irq softirq steal]
    std::uint64_t v[8] = {};
    for (std::size_t i = 1; i < count; ++i) {
        const auto value = number<std::uint64_t>(f[i]);
        if (!value) {
            return std::nullopt;
        }
        v[i - 1] = *value;
    }
    // Waiting for I/O is idle time; interrupts and time stolen by a hypervisor are the system's.
    return CPUTicks{v[0], v[2] + v[5] + v[6] + v[7], v[3] + v[4], v[1]};
}

std::uint64_t ProcHostStats::physicalMemory() {
    if (m_physicalMemory == 0) {
        memory();
    }
    return m_physicalMemory;
}

MemoryReading ProcHostStats::memory() {
    MemoryReading reading;
    if (!read(path("/proc/meminfo"))) {
        return reading;
    }
    std::optional<std::uint64_t> total, available, swapTotal, swapFree;
    eachLine(m_buffer, [&](std::string_view line) {
        std::string_view f[3];
        if (fields(line, f, 3) < 2) {
            return;
        }
        const auto kib = number<std::uint64_t>(f[1]);
        if (!kib) {
            return;
        }
        const std::uint64_t bytes = *kib * 1024;
        if (f[0] == "MemTotal:") {
            total = bytes;
        } else if (f[0] == "MemAvailable:") {
            available = bytes;
        } else if (f[0] == "SwapTotal:") {
            swapTotal = bytes;
        } else if (f[0] == "SwapFree:") {
            swapFree = bytes;
        }
    });
    if (total) {
        m_physicalMemory = *total;
        if (available) {
            reading.used = *total - std::min(*total, *available);
        }
    }
    if (swapTotal && swapFree) {
        reading.swap = SwapUsage{*swapTotal, *swapTotal - std::min(*swapTotal, *swapFree)};
    }
    return reading;
}

std::optional<VolumeCapacity> ProcHostStats::startupVolume() {
    struct statvfs info {};
    if (::statvfs(path("/").c_str(), &info) != 0) {
        return std::nullopt;
    }
    const auto block = static_cast<std::int64_t>(info.f_frsize);
    return VolumeCapacity{static_cast<std::int64_t>(info.f_bavail) * block,
                          static_cast<std::int64_t>(info.f_blocks) * block};
}

std::optional<NetworkTotals> ProcHostStats::networkTotals() {
    if (!read(path("/proc/net/dev"))) {
        return std::nullopt;
    }
    struct Row {
        std::string_view name;
        std::uint64_t rx = 0;
        std::uint64_t tx = 0;
    };
    std::vector<Row> rows;
    eachLine(m_buffer, [&](std::string_view line) {
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) {
            return;  // the two header lines
        }
        std::string_view f[9];
        if (fields(line.substr(colon + 1), f, 9) < 9) {
            return;
        }
        const auto rx = number<std::uint64_t>(f[0]);
        const auto tx = number<std::uint64_t>(f[8]);
        if (rx && tx) {
            rows.push_back({trim(line.substr(0, colon)), *rx, *tx});
        }
    });
    std::vector<std::string_view> names;
    names.reserve(rows.size());
    for (const auto& row : rows) {
        names.push_back(row.name);
    }
    if (auto key = namesKey(names); key != m_interfaceNames) {
        // Only interfaces backed by a device are the machine's own links: loopback, bridges,
        // tunnels and container pairs would count the same bytes twice.
        m_physicalInterfaces.clear();
        for (const auto name : names) {
            if (exists(path("/sys/class/net/").append(name).append("/device"))) {
                m_physicalInterfaces.emplace(name);
            }
        }
        m_interfaceNames = std::move(key);
    }
    NetworkTotals totals;
    for (const auto& row : rows) {
        if (m_physicalInterfaces.find(row.name) != m_physicalInterfaces.end()) {
            totals.rx += row.rx;
            totals.tx += row.tx;
        }
    }
    return totals;
}

std::optional<DiskTotals> ProcHostStats::diskTotals() {
    if (!read(path("/proc/diskstats"), 1024 * 1024)) {
        return std::nullopt;
    }
    struct Row {
        std::string_view name;
        std::uint64_t sectorsRead = 0;
        std::uint64_t sectorsWritten = 0;
    };
    std::vector<Row> rows;
    eachLine(m_buffer, [&](std::string_view line) {
        // major minor name reads merged sectors ms writes merged sectors ...
        std::string_view f[10];
        if (fields(line, f, 10) < 10) {
            return;
        }
        const auto read = number<std::uint64_t>(f[5]);
        const auto written = number<std::uint64_t>(f[9]);
        if (read && written) {
            rows.push_back({f[2], *read, *written});
        }
    });
    std::vector<std::string_view> names;
    names.reserve(rows.size());
    for (const auto& row : rows) {
        names.push_back(row.name);
    }
    if (auto key = namesKey(names); key != m_diskNames) {
        // Whole disks backed by hardware: partitions have no entry in /sys/block, and loop,
        // ram, device-mapper and RAID devices no device behind them, so no byte counts twice.
        m_wholeDisks.clear();
        for (const auto name : names) {
            if (exists(path("/sys/block/").append(name).append("/device"))) {
                m_wholeDisks.emplace(name);
            }
        }
        m_diskNames = std::move(key);
    }
    DiskTotals totals;
    for (const auto& row : rows) {
        if (m_wholeDisks.find(row.name) != m_wholeDisks.end()) {
            totals.read += row.sectorsRead * kSectorBytes;
            totals.write += row.sectorsWritten * kSectorBytes;
        }
    }
    return totals;
}

void ProcHostStats::findGraphicsCards() {
    m_cardsFound = true;
    m_cards.clear();
    const QDir drm(QString::fromStdString(path("/sys/class/drm")));
    std::vector<std::pair<int, std::string>> cards;
    for (const QString& entry : drm.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System)) {
        // "card0" is a card; "card0-HDMI-A-1" one of its connectors.
        bool isNumber = false;
        const int index =
            entry.startsWith(QLatin1String("card")) ? entry.mid(4).toInt(&isNumber) : 0;
        if (!isNumber) {
            continue;
        }
        std::string device = path("/sys/class/drm/") + entry.toStdString() + "/device";
        if (exists(device + "/gpu_busy_percent")) {
            cards.emplace_back(index, std::move(device));
        }
    }
    std::sort(cards.begin(), cards.end());
    for (auto& card : cards) {
        m_cards.push_back(std::move(card.second));
    }
}

std::optional<int> ProcHostStats::gpuBusyPercent() {
    if (!m_cardsFound) {
        findGraphicsCards();
    }
    for (const auto& device : m_cards) {
        // Asking a runtime-suspended card would wake it up just to hear that it is idle.
        if (read(device + "/power/runtime_status", 64) && trim(m_buffer) == "suspended") {
            return 0;
        }
        if (read(device + "/gpu_busy_percent", 64)) {
            if (const auto busy = number<int>(trim(m_buffer))) {
                return std::clamp(*busy, 0, 100);
            }
        }
    }
    return std::nullopt;
}

void ProcHostStats::findThermalZones() {
    m_zonesFound = true;
    m_zones.clear();
    const QDir thermal(QString::fromStdString(path("/sys/class/thermal")));
    for (const QString& entry :
         thermal.entryList({QStringLiteral("thermal_zone*")},
                           QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name)) {
        const std::string zone = path("/sys/class/thermal/") + entry.toStdString();
        Zone found{zone + "/temp", {}};
        // Trip points are fixed by the firmware; read them once.
        for (int i = 0;; ++i) {
            const std::string trip = zone + "/trip_point_" + std::to_string(i);
            if (!read(trip + "_type", 64)) {
                break;
            }
            const std::string type(trim(m_buffer));
            if (!read(trip + "_temp", 64)) {
                continue;
            }
            if (const auto temperature = number<long>(trim(m_buffer))) {
                found.trips.push_back({type, *temperature});
            }
        }
        m_zones.push_back(std::move(found));
    }
}

ThermalState ProcHostStats::judge(long temperature, const std::vector<TripPoint>& trips) {
    auto state = ThermalState::nominal;
    bool anyTrip = false;
    for (const auto& trip : trips) {
        // Firmware fills unused trip points with 0 or below.
        if (trip.temperature <= 0) {
            continue;
        }
        anyTrip = true;
        if (temperature < trip.temperature) {
            continue;
        }
        auto reached = ThermalState::nominal;
        if (trip.type == "critical" || trip.type == "hot") {
            reached = ThermalState::critical;
        } else if (trip.type == "passive") {
            reached = ThermalState::serious;  // the kernel throttles from here on
        } else if (trip.type == "active") {
            reached = ThermalState::fair;  // fans are spinning up
        }
        state = std::max(state, reached);
    }
    if (anyTrip) {
        return state;
    }
    if (temperature >= kCriticalAt) {
        return ThermalState::critical;
    }
    if (temperature >= kSeriousAt) {
        return ThermalState::serious;
    }
    return temperature >= kFairAt ? ThermalState::fair : ThermalState::nominal;
}

ThermalState ProcHostStats::thermalState() {
    if (!m_zonesFound) {
        findThermalZones();
    }
    auto hottest = ThermalState::nominal;
    for (const auto& zone : m_zones) {
        if (!read(zone.temperaturePath, 64)) {
            continue;  // some sensors refuse while their device sleeps
        }
        if (const auto temperature = number<long>(trim(m_buffer));
            temperature && *temperature > 0) {
            hottest = std::max(hottest, judge(*temperature, zone.trips));
        }
    }
    return hottest;
}

}  // namespace korvo
