#pragma once

#include "core/ActivityEngine.h"
#include "core/DebugLog.h"
#include "core/EventBus.h"
#include "core/QtMainLoop.h"
#include "platform/linux/Syslog.h"
#include "platform/linux/XdgAutostartLoginItem.h"
#include "settings/SettingsStore.h"

#include <memory>

namespace korvo {

/// The composition root: one of each long-lived object, created in dependency order.
struct AppContext {
    explicit AppContext(const QString& executablePath);

    QtMainLoop loop;
    DebugLog debugLog;
    EventBus bus;
    Syslog systemLog;
    XdgAutostartLoginItem loginItem;
    SettingsStore settings;
    ActivityEngine engine;
};

}  // namespace korvo
