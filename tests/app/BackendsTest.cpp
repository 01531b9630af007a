// Each platform's set of backends is whole: a capability left out of one set would be a null
// dereference at start-up, in that platform only.
#include "app/Backends.h"
#include "core/VirtualLoop.h"
#include "fakes/FakePasteboard.h"

#include <gtest/gtest.h>

using namespace korvo;

namespace {

void expectWhole(const Backends& b) {
    EXPECT_TRUE(b.workspace);
    EXPECT_TRUE(b.artwork);
    EXPECT_TRUE(b.mediaPlayers);
    EXPECT_TRUE(b.power);
    EXPECT_TRUE(b.captures);
    EXPECT_TRUE(b.bluetoothHub);
    EXPECT_TRUE(b.calendar);
    EXPECT_TRUE(b.pasteboard);
    EXPECT_TRUE(b.hostStats);
    EXPECT_TRUE(b.lowPowerMode);
    EXPECT_TRUE(b.pairedDevices);
    EXPECT_TRUE(b.batteryReports);
    EXPECT_TRUE(b.peripheralBatteries);
    EXPECT_TRUE(b.notificationMonitor);
    EXPECT_TRUE(b.peripheralLevels);
}

}  // namespace

TEST(Backends, EachPlatformMakesEveryCapability) {
    VirtualLoop loop;
    expectWhole(demoBackends(loop));
    // The desktop's own clipboard is the one piece a caller may bring.
    Pasteboard* brought = nullptr;
    const Backends machine = linuxBackends(loop, [&](MainLoop&) {
        auto p = std::make_unique<FakePasteboard>();
        brought = p.get();
        return p;
    });
    expectWhole(machine);
    EXPECT_EQ(machine.pasteboard.get(), brought);
}
