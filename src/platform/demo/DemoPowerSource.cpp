#include "DemoPowerSource.h"

namespace korvo {

DemoPowerSource::DemoPowerSource(MainLoop& loop, double period) : m_script(loop, period) {
    set(24, false, 95);
    m_script.add(0.2, [this] { set(24, false, 95); });
    m_script.add(4, [this] { set(19, false, 70); });  // "Low Battery" at the 20 % mark
    m_script.add(9, [this] { set(19, true, -1); });   // "Charging", estimate still unknown
    m_script.add(14, [this] { set(58, true, 48); });
    m_script.add(20, [this] { set(99, true, 2); });
    m_script.add(26, [this] { set(100, true, 0); });     // "Fully Charged"
    m_script.add(44, [this] { set(100, false, 600); });  // "Unplugged"
    m_script.add(52, [this] { set(97, false, 540); });
}

Subscription DemoPowerSource::observe(std::function<void()> changed) {
    auto sub = m_changed.subscribe([fn = std::move(changed)](const std::monostate&) { fn(); });
    m_script.start();
    return sub;
}

void DemoPowerSource::set(int percent, bool onAdapter, int minutes) {
    PowerSourceDescription d;
    d.currentCapacity = percent;
    d.powerSourceState =
        onAdapter ? PowerSourceDescription::kACPower : PowerSourceDescription::kBatteryPower;
    (onAdapter ? d.timeToFullCharge : d.timeToEmpty) = minutes;
    m_current = d;
    m_changed.send(std::monostate{});
}

}  // namespace korvo
