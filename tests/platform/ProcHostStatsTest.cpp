#include "platform/linux/ProcHostStats.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvo;

namespace {

/// A throwaway root with the kernel's files where the readers look for them.
class Tree {
public:
    QString root() const { return m_dir.path(); }
    void write(const QString& relative, const QByteArray& content) {
        const QString path = m_dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }
    void mkdir(const QString& relative) { QDir().mkpath(m_dir.filePath(relative)); }
    void remove(const QString& relative) { QFile::remove(m_dir.filePath(relative)); }

private:
    QTemporaryDir m_dir;
};

constexpr char kNetDev[] =
    "Inter-|   Receive                                                |  Transmit\n"
    " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs "
    "drop fifo colls carrier compressed\n"
    "    lo: 9000000   1000    0    0    0     0          0         0  9000000    1000    0 "
    "   0    0     0       0          0\n"
    "  eth0: 1000 10 0 0 0 0 0 0 200 2 0 0 0 0 0 0\n"
    "wlan0:30000 30 0 0 0 0 0 0 4000 40 0 0 0 0 0 0\n"
    "docker0: 777777 7 0 0 0 0 0 0 777777 7 0 0 0 0 0 0\n"
    "veth1a2b: 555555 5 0 0 0 0 0 0 555555 5 0 0 0 0 0 0\n";

constexpr char kDiskStats[] =
    "   7       0 loop0 100 0 8000 10 0 0 0 0 0 10 10 0 0 0 0\n"
    "   1       0 ram0 0 0 9000 0 0 0 9000 0 0 0 0 0 0 0 0\n"
    "   8       0 sda 500 20 1000 300 400 10 2000 500 0 700 800 0 0 0 0\n"
    "   8       1 sda1 400 20 900 300 300 10 1900 500 0 700 800 0 0 0 0\n"
    " 259       0 nvme0n1 10 0 100 1 20 0 300 2 0 3 3 0 0 0 0\n"
    " 259       1 nvme0n1p1 10 0 100 1 20 0 300 2 0 3 3 0 0 0 0\n"
    " 253       0 dm-0 10 0 5555 1 20 0 5555 2 0 3 3 0 0 0 0\n";

}  // namespace

TEST(ProcHostStats, ProcessorTicksFoldWaitingIntoIdleAndInterruptsIntoSystem) {
    Tree tree;
    // user nice system idle iowait irq softirq steal guest guest_nice
    tree.write("proc/stat",
               "cpu  100 20 300 4000 50 6 7 8 9 10\n"
               "cpu0 50 10 150 2000 25 3 3 4 4 5\n"
               "intr 123456 0 0\n");
    ProcHostStats stats(tree.root());
    const auto ticks = stats.cpuTicks();
    ASSERT_TRUE(ticks);
    EXPECT_EQ(ticks->user, 100u);
    EXPECT_EQ(ticks->nice, 20u);
    EXPECT_EQ(ticks->system, 300u + 6 + 7 + 8);
    EXPECT_EQ(ticks->idle, 4000u + 50);

    tree.write("proc/stat", "cpu  1 2 3 4\n");  // kernels before iowait
    ASSERT_TRUE(stats.cpuTicks());
    EXPECT_EQ(stats.cpuTicks()->idle, 4u);

    for (const char* broken : {"", "cpu0 1 2 3 4 5\n", "cpu 1 2 3\n", "cpu 1 2 x 4 5\n"}) {
        tree.write("proc/stat", broken);
        EXPECT_FALSE(stats.cpuTicks()) << broken;
    }
    EXPECT_FALSE(ProcHostStats(tree.root() + "/nowhere").cpuTicks());
}

TEST(ProcHostStats, MemoryInUseIsWhatIsNotAvailable) {
    Tree tree;
    tree.write("proc/meminfo",
               "MemTotal:       16000000 kB\n"
               "MemFree:         1000000 kB\n"
               "MemAvailable:   12000000 kB\n"
               "Buffers:          300000 kB\n"
               "SwapCached:            0 kB\n"
               "SwapTotal:       2000000 kB\n"
               "SwapFree:        1500000 kB\n"
               "HugePages_Total:       0\n");
    ProcHostStats stats(tree.root());
    EXPECT_EQ(stats.physicalMemory(), 16000000ull * 1024);
    auto memory = stats.memory();
    EXPECT_EQ(memory.used, 4000000ull * 1024);
    ASSERT_TRUE(memory.swap);
    EXPECT_EQ(memory.swap->total, 2000000ull * 1024);
    EXPECT_EQ(memory.swap->used, 500000ull * 1024);

    // Without MemAvailable (or its total) there is no figure; swap is read on its own.
    tree.write("proc/meminfo", "MemTotal: 16000000 kB\nSwapTotal: 0 kB\nSwapFree: 0 kB\n");
    memory = stats.memory();
    EXPECT_FALSE(memory.used);
    ASSERT_TRUE(memory.swap);
    EXPECT_EQ(memory.swap->total, 0u);
    tree.write("proc/meminfo", "MemAvailable: 100 kB\n");
    memory = stats.memory();
    EXPECT_FALSE(memory.used);
    EXPECT_FALSE(memory.swap);
    // The physical size is kept from the first good reading.
    EXPECT_EQ(stats.physicalMemory(), 16000000ull * 1024);
    EXPECT_EQ(ProcHostStats(tree.root()).physicalMemory(), 0u);
}

TEST(ProcHostStats, StartupVolumeIsTheFilesystemOfTheRoot) {
    Tree tree;
    const auto volume = ProcHostStats(tree.root()).startupVolume();
    ASSERT_TRUE(volume);
    EXPECT_GT(volume->total, 0);
    EXPECT_GE(volume->free, 0);
    EXPECT_LE(volume->free, volume->total);
    EXPECT_FALSE(ProcHostStats(tree.root() + "/nowhere").startupVolume());
}

TEST(ProcHostStats, NetworkCountsOnlyInterfacesBackedByADevice) {
    Tree tree;
    tree.write("proc/net/dev", kNetDev);
    for (const char* name : {"lo", "docker0", "veth1a2b"}) {
        tree.mkdir(QStringLiteral("sys/class/net/") + name);
    }
    tree.mkdir("sys/class/net/eth0/device");
    tree.mkdir("sys/class/net/wlan0/device");
    ProcHostStats stats(tree.root());
    auto totals = stats.networkTotals();
    ASSERT_TRUE(totals);
    EXPECT_EQ(totals->rx, 31000u);
    EXPECT_EQ(totals->tx, 4200u);

    // A link plugged in later counts from the reading that first lists it.
    tree.mkdir("sys/class/net/usb0/device");
    tree.write("proc/net/dev", QByteArray(kNetDev) + "usb0: 5 0 0 0 0 0 0 0 6 0 0 0 0 0 0 0\n");
    totals = stats.networkTotals();
    ASSERT_TRUE(totals);
    EXPECT_EQ(totals->rx, 31005u);
    EXPECT_EQ(totals->tx, 4206u);

    tree.remove("proc/net/dev");
    EXPECT_FALSE(stats.networkTotals());
}

TEST(ProcHostStats, DiskCountsWholeDisksOnlyInBytes) {
    Tree tree;
    tree.write("proc/diskstats", kDiskStats);
    tree.mkdir("sys/block/sda/device");
    tree.mkdir("sys/block/nvme0n1/device");
    for (const char* virtualDisk : {"loop0", "ram0", "dm-0"}) {
        tree.mkdir(QStringLiteral("sys/block/") + virtualDisk);
    }
    ProcHostStats stats(tree.root());
    const auto totals = stats.diskTotals();
    ASSERT_TRUE(totals);
    EXPECT_EQ(totals->read, (1000u + 100) * 512);
    EXPECT_EQ(totals->write, (2000u + 300) * 512);

    tree.write("proc/diskstats", "");
    ASSERT_TRUE(stats.diskTotals());
    EXPECT_EQ(stats.diskTotals()->read, 0u);
}

TEST(ProcHostStats, GraphicsLoadFromTheFirstCardThatReportsOne) {
    Tree tree;
    EXPECT_FALSE(ProcHostStats(tree.root()).gpuBusyPercent());  // no DRM at all

    tree.mkdir("sys/class/drm/card0/device");  // a driver without the figure
    tree.mkdir("sys/class/drm/card0-eDP-1");
    tree.write("sys/class/drm/card1-DP-1/device/gpu_busy_percent", "99\n");  // not a card
    tree.write("sys/class/drm/card1/device/gpu_busy_percent", "42\n");
    tree.write("sys/class/drm/card1/device/power/runtime_status", "active\n");
    tree.write("sys/class/drm/card2/device/gpu_busy_percent", "7\n");
    ProcHostStats stats(tree.root());
    EXPECT_EQ(stats.gpuBusyPercent(), 42);

    // A sleeping card is idle, and is not woken to say so.
    tree.write("sys/class/drm/card1/device/power/runtime_status", "suspended\n");
    tree.write("sys/class/drm/card1/device/gpu_busy_percent", "junk");
    EXPECT_EQ(stats.gpuBusyPercent(), 0);
    // A card whose figure cannot be read gives way to the next.
    tree.write("sys/class/drm/card1/device/power/runtime_status", "active\n");
    EXPECT_EQ(stats.gpuBusyPercent(), 7);
}

TEST(ProcHostStats, ThermalZonesAreJudgedByTheirTripPoints) {
    const std::vector<ProcHostStats::TripPoint> trips = {
        {"active", 50000}, {"passive", 90000}, {"hot", 100000}, {"critical", 105000}};
    EXPECT_EQ(ProcHostStats::judge(49999, trips), ThermalState::nominal);
    EXPECT_EQ(ProcHostStats::judge(50000, trips), ThermalState::fair);
    EXPECT_EQ(ProcHostStats::judge(95000, trips), ThermalState::serious);
    EXPECT_EQ(ProcHostStats::judge(100000, trips), ThermalState::critical);
    // Only a shutdown point: cool until it is reached.
    EXPECT_EQ(ProcHostStats::judge(99000, {{"critical", 110000}}), ThermalState::nominal);
    // No trip points worth the name: fixed thresholds.
    for (const auto& none : {std::vector<ProcHostStats::TripPoint>{},
                             std::vector<ProcHostStats::TripPoint>{{"passive", 0}}}) {
        EXPECT_EQ(ProcHostStats::judge(79999, none), ThermalState::nominal);
        EXPECT_EQ(ProcHostStats::judge(80000, none), ThermalState::fair);
        EXPECT_EQ(ProcHostStats::judge(90000, none), ThermalState::serious);
        EXPECT_EQ(ProcHostStats::judge(100000, none), ThermalState::critical);
    }
}

TEST(ProcHostStats, TheHottestZoneIsTheMachinesState) {
    Tree tree;
    ProcHostStats empty(tree.root());
    EXPECT_EQ(empty.thermalState(), ThermalState::nominal);

    tree.write("sys/class/thermal/thermal_zone0/temp", "45000\n");
    tree.write("sys/class/thermal/thermal_zone0/trip_point_0_type", "passive\n");
    tree.write("sys/class/thermal/thermal_zone0/trip_point_0_temp", "90000\n");
    tree.write("sys/class/thermal/thermal_zone0/trip_point_1_type", "critical\n");
    tree.write("sys/class/thermal/thermal_zone0/trip_point_1_temp", "105000\n");
    tree.write("sys/class/thermal/thermal_zone1/temp", "82000\n");  // no trip points
    tree.mkdir("sys/class/thermal/thermal_zone2");                  // a sensor that is off
    tree.write("sys/class/thermal/cooling_device0/cur_state", "0\n");
    ProcHostStats stats(tree.root());
    EXPECT_EQ(stats.thermalState(), ThermalState::fair);

    tree.write("sys/class/thermal/thermal_zone0/temp", "91000\n");
    EXPECT_EQ(stats.thermalState(), ThermalState::serious);
    tree.write("sys/class/thermal/thermal_zone1/temp", "-5000\n");
    tree.write("sys/class/thermal/thermal_zone0/temp", "30000\n");
    EXPECT_EQ(stats.thermalState(), ThermalState::nominal);
}
