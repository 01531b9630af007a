#pragma once

#include "core/MainLoop.h"
#include "platform/PairedDevices.h"
#include "platform/PeripheralBatteries.h"

namespace korvo {

/// Bluetooth peripherals for the demo tour: a phone that stays paired, a watch and a mouse always
/// connected, earbuds with a detailed battery report from 25 s to 50 s of each round and a
/// keyboard from 35 s to 58 s, so that the poll near 40 s sees both. Batteries drain a little
/// every round. Answers from the clock alone, so it may be asked from
/// any thread.
class DemoDevices final : public PairedDevices,
                          public BatteryReportSource,
                          public PeripheralBatteries {
public:
    explicit DemoDevices(const MainLoop& loop, double period = 60);

    std::optional<std::vector<PairedDevice>> pairedDevices() override;
    BatteryReport readBatteryReport() override;
    std::map<QString, int> readPercentages() override;

private:
    double secondInRound() const;
    int drained(int full) const;

    const MainLoop& m_loop;
    double m_period;
    double m_start;
};

}  // namespace korvo
