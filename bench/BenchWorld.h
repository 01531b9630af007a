#pragma once

// The small worlds the island benches build: an engine on a virtual clock, and the island's
// root view on top of it.
#include "core/ActivityEngine.h"
#include "core/DebugLog.h"
#include "core/EventBus.h"
#include "core/IslandViewModel.h"
#include "core/VirtualLoop.h"
#include "settings/SettingsStore.h"
#include "ui/island/IslandRootView.h"
#include "ui/kit/Animator.h"
#include "ui/kit/Interaction.h"

#include <QTemporaryDir>

namespace korvo::bench {

struct EngineWorld {
    QTemporaryDir dir;
    VirtualLoop loop;
    EventBus bus{loop};
    DebugLog log{QString()};
    ActivityEngine engine{loop, bus, log};
    SettingsStore settings{dir.filePath("korvo.conf")};
};

struct IslandWorld : EngineWorld {
    IslandViewModel viewModel{loop, engine, settings, log, NotchGeometry{}};
    ui::Animator animator{[this] { return loop.monotonicNow(); }};
    ui::Interaction interaction;
    IslandRootView root{viewModel, engine, settings, loop, animator, interaction};
};

}  // namespace korvo::bench
