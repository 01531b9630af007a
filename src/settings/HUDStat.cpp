#include "HUDStat.h"

#include "settings/SettingsStore.h"

namespace korvo::hudstat {

QString rawValue(HUDStat stat) {
    switch (stat) {
        case HUDStat::cpu:
            return QStringLiteral("cpu");
        case HUDStat::gpu:
            return QStringLiteral("gpu");
        case HUDStat::memory:
            return QStringLiteral("memory");
        case HUDStat::swap:
            return QStringLiteral("swap");
        case HUDStat::storage:
            return QStringLiteral("storage");
        case HUDStat::network:
            return QStringLiteral("network");
        case HUDStat::disk:
            return QStringLiteral("disk");
        case HUDStat::power:
            return QStringLiteral("power");
    }
    return {};
}

std::optional<HUDStat> fromRaw(const QString& raw) {
    for (HUDStat s : kAll) {
        if (rawValue(s) == raw) {
            return s;
        }
    }
    return std::nullopt;
}

QString settingsKey(HUDStat stat) {
    switch (stat) {
        case HUDStat::cpu:
            return QStringLiteral("hudCPU");
        case HUDStat::gpu:
            return QStringLiteral("hudGPU");
        case HUDStat::memory:
            return QStringLiteral("hudMemory");
        case HUDStat::swap:
            return QStringLiteral("hudSwap");
        case HUDStat::storage:
            return QStringLiteral("hudStorage");
        case HUDStat::network:
            return QStringLiteral("hudNetwork");
        case HUDStat::disk:
            return QStringLiteral("hudDisk");
        case HUDStat::power:
            return QStringLiteral("hudPower");
    }
    return {};
}

Binding<bool> binding(SettingsStore& store, HUDStat stat) {
    switch (stat) {
        case HUDStat::cpu:
            return store.hudCPUBinding();
        case HUDStat::gpu:
            return store.hudGPUBinding();
        case HUDStat::memory:
            return store.hudMemoryBinding();
        case HUDStat::swap:
            return store.hudSwapBinding();
        case HUDStat::storage:
            return store.hudStorageBinding();
        case HUDStat::network:
            return store.hudNetworkBinding();
        case HUDStat::disk:
            return store.hudDiskBinding();
        case HUDStat::power:
            return store.hudPowerBinding();
    }
    return store.hudCPUBinding();
}

}  // namespace korvo::hudstat
