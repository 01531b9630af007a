#pragma once

#include "core/Published.h"

#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace korvo {

class SettingsStore;

/// The statistics of the system card, in grid and settings-list order.
enum class HUDStat { cpu, gpu, memory, swap, storage, network, disk, power };

namespace hudstat {

inline constexpr std::array<HUDStat, 8> kAll = {HUDStat::cpu,  HUDStat::gpu,     HUDStat::memory,
                                                HUDStat::swap, HUDStat::storage, HUDStat::network,
                                                HUDStat::disk, HUDStat::power};

QString rawValue(HUDStat stat);
std::optional<HUDStat> fromRaw(const QString& raw);
/// The settings key of the statistic's flag ("hudCPU", ...).
QString settingsKey(HUDStat stat);

/// The two-way binding of the statistic's flag.
Binding<bool> binding(SettingsStore& store, HUDStat stat);

}  // namespace hudstat
}  // namespace korvo
