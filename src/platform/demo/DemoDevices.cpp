#include "DemoDevices.h"

#include <algorithm>
#include <cmath>

namespace korvo {

namespace {

const QString kPhone = QStringLiteral("Ada's iPhone");
const QString kWatch = QStringLiteral("Ada's Apple Watch");
const QString kBuds = QStringLiteral("Studio AirPods Pro");
const QString kKeyboard = QStringLiteral("Magic Keyboard");
const QString kMouse = QStringLiteral("MX Master 3 Mouse");

}  // namespace

DemoDevices::DemoDevices(const MainLoop& loop, double period)
    : m_loop(loop), m_period(period), m_start(loop.monotonicNow()) {}

double DemoDevices::secondInRound() const {
    return std::fmod(m_loop.monotonicNow() - m_start, m_period);
}

int DemoDevices::drained(int full) const {
    const int rounds = static_cast<int>((m_loop.monotonicNow() - m_start) / m_period);
    return std::max(5, full - rounds % (full - 5));
}

std::optional<std::vector<PairedDevice>> DemoDevices::pairedDevices() {
    const double t = secondInRound();
    return std::vector<PairedDevice>{
        {kPhone, QStringLiteral("D0:00:00:00:00:01"), 2, false},
        {kWatch, QStringLiteral("D0:00:00:00:00:02"), 7, true},
        {kBuds, QStringLiteral("D0:00:00:00:00:03"), 4, t >= 25 && t < 50},
        {kKeyboard, QStringLiteral("D0:00:00:00:00:04"), 5, t >= 35 && t < 58},
        {kMouse, QStringLiteral("D0:00:00:00:00:05"), 5, true},
    };
}

BatteryReport DemoDevices::readBatteryReport() {
    return {{kWatch, {drained(92), true}}, {kBuds, {drained(80), false}}};
}

std::map<QString, int> DemoDevices::readPercentages() {
    return {{kKeyboard, drained(64)}, {kMouse, drained(71)}};
}

}  // namespace korvo
