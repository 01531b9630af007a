// The kernel's counter files, read from a scratch tree laid out like /proc and /sys.
#include "FuzzInput.h"
#include "platform/linux/ProcHostStats.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

const char* const kFiles[] = {
    "proc/stat",
    "proc/meminfo",
    "proc/net/dev",
    "proc/diskstats",
    "sys/class/thermal/thermal_zone0/temp",
    "sys/class/thermal/thermal_zone0/trip_point_0_temp",
    "sys/class/thermal/thermal_zone0/trip_point_0_type",
    "sys/class/drm/card0/device/gpu_busy_percent",
};

void write(const QDir& root, const char* relative, const QByteArray& content) {
    QFile file(root.filePath(QString::fromLatin1(relative)));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(content);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir scratch;
    static const QDir root = [] {
        QDir dir(scratch.path());
        for (const char* relative : kFiles) {
            dir.mkpath(QFileInfo(dir.filePath(QString::fromLatin1(relative))).path());
        }
        for (const char* device : {"sys/class/net/eth0/device", "sys/class/net/wlan0/device",
                                   "sys/block/sda/device", "sys/block/nvme0n1/device"}) {
            dir.mkpath(QString::fromLatin1(device));
        }
        return dir;
    }();

    const auto parts = korvo::fuzz::fields(data, size, static_cast<int>(std::size(kFiles)));
    for (std::size_t i = 0; i < std::size(kFiles); ++i) {
        write(root, kFiles[i], parts[static_cast<qsizetype>(i)]);
    }

    korvo::ProcHostStats stats(root.path());
    (void)stats.cpuTicks();
    const auto memory = stats.memory();
    if (memory.used && *memory.used > stats.physicalMemory()) {
        __builtin_trap();  // in use never exceeds what the machine has
    }
    if (memory.swap && memory.swap->used > memory.swap->total) {
        __builtin_trap();
    }
    (void)stats.networkTotals();
    (void)stats.diskTotals();
    if (const auto busy = stats.gpuBusyPercent(); busy && (*busy < 0 || *busy > 100)) {
        __builtin_trap();
    }
    (void)stats.thermalState();
    return 0;
}
