#include "AppContext.h"

namespace korvo {

AppContext::AppContext(const QString& executablePath)
    : debugLog(),
      bus(loop),
      loginItem(XdgAutostartLoginItem::defaultConfigHome(), executablePath),
      settings(SettingsStore::defaultPath(), loop, bus, &loginItem, &systemLog),
      engine(loop, bus, debugLog) {}

}  // namespace korvo
