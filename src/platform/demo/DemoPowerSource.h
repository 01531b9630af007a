#pragma once

#include "DemoScript.h"
#include "core/Published.h"
#include "platform/PowerSource.h"

#include <variant>

namespace korvo {

/// A battery for the demo tour. Each round it runs low on its own, is plugged in, charges to
/// full and is unplugged again.
class DemoPowerSource final : public PowerSource {
public:
    explicit DemoPowerSource(MainLoop& loop, double period = 60);

    std::optional<PowerSourceDescription> firstSource() const override { return m_current; }
    Subscription observe(std::function<void()> changed) override;

private:
    void set(int percent, bool onAdapter, int minutes);

    DemoScript m_script;
    std::optional<PowerSourceDescription> m_current;
    Signal<std::monostate> m_changed;
};

}  // namespace korvo
