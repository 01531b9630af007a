#include "platform/demo/DemoBluetoothHub.h"
#include "platform/demo/DemoCaptureIndex.h"
#include "platform/demo/DemoPowerSource.h"

#include "core/Posted.h"
#include "core/VirtualLoop.h"
#include "services/bluetooth/BluetoothService.h"
#include "services/power/PowerService.h"
#include "services/screenshots/ScreenshotService.h"
#include "settings/SettingsStore.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include "fakes/QtPrinters.h"

using namespace korvo;

namespace {

class NoWorkspace : public Workspace {
public:
    void open(const QUrl&) override {}
};

}  // namespace

// The tour must show every notice these services can give, every round, in a believable order.
TEST(DemoNotices, EachRoundShowsTheBatteryScreenshotAndBluetoothNotices) {
    QTemporaryDir dir;
    VirtualLoop loop;
    EventBus bus(loop);
    SettingsStore settings(dir.filePath(QStringLiteral("k.conf")));
    DemoPowerSource power(loop);
    DemoCaptureIndex captures(loop, QStringLiteral("/home/demo/Pictures/Screenshots"));
    DemoBluetoothHub hub(loop);
    NoWorkspace workspace;
    PowerService powerService(loop, bus, settings, power);
    ScreenshotService screenshots(bus, captures, workspace);
    BluetoothService bluetooth(bus, hub);

    test::Posted posted(bus);
    powerService.start();
    screenshots.start();
    bluetooth.start();

    const QStringList round = {"Low Battery",
                               "Charging",
                               "Fully Charged",
                               "Screenshot saved",
                               "Studio AirPods Pro connected",
                               "Magic Keyboard connected",
                               "Unplugged",
                               "Studio AirPods Pro disconnected",
                               "Magic Keyboard disconnected"};
    loop.advance(60);
    EXPECT_EQ(posted.toastTitles(), round);
    EXPECT_EQ(posted.activities.size(), 3u);  // charging at 19, 58 and 99 %
    posted.toasts.clear();
    loop.advance(60);
    EXPECT_EQ(posted.toastTitles(), round);
}
