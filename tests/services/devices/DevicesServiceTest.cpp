#include "services/devices/DevicesActivityProvider.h"
#include "services/devices/DevicesService.h"

#include "core/Posted.h"
#include "core/VirtualLoop.h"

#include <QFile>

#include <gtest/gtest.h>
#include "fakes/QtPrinters.h"

#include <deque>
#include <variant>

using namespace korvo;
using Kind = ConnectedDeviceInfo::Kind;

namespace {

PairedDevice device(const char* name, bool connected, std::uint32_t major = 0,
                    const char* address = nullptr) {
    PairedDevice d;
    if (name) {
        d.name = QString::fromUtf8(name);
    }
    if (address) {
        d.address = QString::fromUtf8(address);
    }
    d.majorClass = major;
    d.connected = connected;
    return d;
}

// "name kind battery charging on|off id" per device, in list order.
QStringList describe(const std::vector<ConnectedDeviceInfo>& list) {
    QStringList out;
    for (const auto& d : list) {
        out << QStringLiteral("%1 %2 %3 %4 %5 %6")
                   .arg(d.name, rawValue(d.kind),
                        d.battery ? QString::number(*d.battery) : QStringLiteral("-"),
                        d.isCharging ? (*d.isCharging ? QStringLiteral("charging")
                                                      : QStringLiteral("draining"))
                                     : QStringLiteral("-"),
                        d.isLinkActive ? QStringLiteral("on") : QStringLiteral("off"), d.id);
    }
    return out;
}

}  // namespace

TEST(DevicesClassify, NameTableInAnyLetterCaseThenMajorClass) {
    const std::pair<const char*, Kind> byName[] = {
        {"Ada's IPHONE", Kind::iphone},    {"Studio AIRPODS PRO", Kind::airpodsPro},
        {"airpods max", Kind::airpodsMax}, {"AirPods", Kind::airpods},
        {"K380 KeyBoard", Kind::keyboard}, {"iPhone keyboard case", Kind::iphone},
    };
    for (const auto& [name, kind] : byName) {
        EXPECT_EQ(DevicesService::classify(QString::fromUtf8(name), 5), kind) << name;
    }
    EXPECT_EQ(DevicesService::classify(QStringLiteral("Pixel 8"), 2), Kind::iphone);
    EXPECT_EQ(DevicesService::classify(QStringLiteral("WH-1000XM4"), 4), Kind::headphones);
    EXPECT_EQ(DevicesService::classify(QStringLiteral("Galaxy Fit"), 7), Kind::watch);
    for (std::uint32_t major : {0u, 1u, 3u, 5u, 6u, 8u, 31u}) {
        EXPECT_EQ(DevicesService::classify(QStringLiteral("Thing"), major), Kind::other) << major;
    }
}

TEST(DevicesList, WhoIsListedAndUnderWhichIdentity) {
    // Phones, tablets and watches stay while merely paired; the others only while connected.
    EXPECT_EQ(
        describe(DevicesService::listDevices(
            std::vector{device("Ada's iPhone", false, 2, "A4:83:E7:00:00:07"),
                        device("Magic Keyboard", false, 5), device("iPad", false, 0),
                        device("WH-1000XM4", false, 4), device(nullptr, true, 5, "00:01"),
                        device("", true, 5)},
            {}, {})),
        (QStringList{"Ada's iPhone iphone - - off A4:83:E7:00:00:07", "iPad ipad - - off iPad"}));
    // The first listed device with a name wins; one skipped as unconnected claims nothing.
    EXPECT_EQ(describe(DevicesService::listDevices(
                  std::vector{device("Buds", true, 4, "00:02"), device("Buds", true, 4, "00:03"),
                              device("Keys keyboard", false, 5, "00:04"),
                              device("Keys keyboard", true, 5, "00:05")},
                  {}, {})),
              (QStringList{"Buds headphones - - on 00:02", "Keys keyboard keyboard - - on 00:05"}));
    EXPECT_TRUE(DevicesService::listDevices(std::nullopt, {}, {}).empty());
}

TEST(DevicesList, TheDetailedReportWinsOverThePercentagesWhichNeverTellCharging) {
    const BatteryReport report = {{QStringLiteral("AirPods"), {80, false}},
                                  {QStringLiteral("Trackpad"), {100, true}},
                                  {QStringLiteral("Watch"), {55, std::nullopt}}};
    const std::map<QString, int> hid = {{QStringLiteral("AirPods"), 12},
                                        {QStringLiteral("Mouse"), 71}};
    EXPECT_EQ(
        describe(DevicesService::listDevices(
            std::vector{device("Watch", true, 7), device("AirPods", true, 4),
                        device("Trackpad", true, 5), device("Mouse", true, 5),
                        device("Speaker", true, 4)},
            report, hid)),
        (QStringList{"Watch watch 55 - on Watch", "AirPods airpods 80 draining on AirPods",
                     "Speaker headphones - - on Speaker",
                     "Trackpad trackpad 100 charging on Trackpad", "Mouse mouse 71 - on Mouse"}));
}

TEST(DevicesList, ConnectedFirstThenByKindKeepingThePairedOrderOnTies) {
    const auto list = DevicesService::listDevices(
        std::vector{device("Headset", true, 4), device("Speaker", true, 6), device("iPad", true, 0),
                    device("Keys keyboard", true, 5), device("Watch", true, 7),
                    device("Old iPad", false, 0), device("Tag", true, 0), device("iPhone", true, 2),
                    device("Old iPhone", false, 2)},
        {}, {});
    QStringList order;
    for (const auto& d : list) {
        order << d.name;
    }
    EXPECT_EQ(order, (QStringList{"iPhone", "Watch", "iPad", "Headset", "Speaker", "Keys keyboard",
                                  "Tag", "Old iPhone", "Old iPad"}));
}

// --- The service on a virtual clock ----------------------------------------------------------

namespace {

struct FakeSources : PairedDevices, BatteryReportSource, PeripheralBatteries {
    std::optional<std::vector<PairedDevice>> pairedDevices() override { return paired; }
    BatteryReport readBatteryReport() override {
        ++reportReads;
        return report;
    }
    std::map<QString, int> readPercentages() override {
        ++hidReads;
        return hid;
    }

    std::optional<std::vector<PairedDevice>> paired = std::vector<PairedDevice>{};
    BatteryReport report;
    std::map<QString, int> hid;
    int reportReads = 0;
    int hidReads = 0;
};

/// A virtual loop whose background work waits until the test lets it run, so a scan can be
/// caught in flight.
class HeldLoop final : public MainLoop {
public:
    bool isMainThread() const override { return inner.isMainThread(); }
    void post(std::function<void()> fn) override { inner.post(std::move(fn)); }
    TaskHandle postDelayed(double s, std::function<void()> fn) override {
        return inner.postDelayed(s, std::move(fn));
    }
    TaskHandle scheduleRepeating(double i, double t, std::function<void()> fn) override {
        return inner.scheduleRepeating(i, t, std::move(fn));
    }
    void runInBackground(Qos, std::function<void()> fn) override { held.push_back(std::move(fn)); }
    double monotonicNow() const override { return inner.monotonicNow(); }
    QDateTime wallNow() const override { return inner.wallNow(); }

    void release() {
        while (!held.empty()) {
            auto fn = std::move(held.front());
            held.pop_front();
            fn();
        }
        inner.runUntilIdle();
    }

    VirtualLoop inner;
    std::deque<std::function<void()>> held;
};

class DevicesServiceTest : public ::testing::Test {
protected:
    DevicesServiceTest() {
        sub = bus.subscribe([this](const IslandEvent& e) {
            if (const auto* u = std::get_if<ActivityUpdated>(&e)) {
                const auto& a = u->activity;
                const auto* list = std::get_if<std::vector<ConnectedDeviceInfo>>(&a.payload);
                ASSERT_NE(list, nullptr);
                QStringList entries;
                for (const auto& d : *list) {
                    entries << d.name + QLatin1Char(' ') +
                                   (d.battery ? QString::number(*d.battery) : QStringLiteral("-"));
                }
                events << QStringLiteral("updated ") + entries.join(QStringLiteral(", "));
            } else if (const auto* x = std::get_if<ActivityEnded>(&e)) {
                events << QStringLiteral("ended ") + x->id;
            } else {
                events << QStringLiteral("other");
            }
        });
    }

    VirtualLoop loop;
    EventBus bus{loop};
    std::shared_ptr<FakeSources> sources = std::make_shared<FakeSources>();
    DevicesService service{loop, bus, sources, sources, sources};
    QStringList events;
    Subscription sub;
};

}  // namespace

TEST_F(DevicesServiceTest, TheReportIsReadOnTheFirstPollAndEveryThirdAfterIt) {
    DevicesActivityProvider provider(service);
    provider.start();
    loop.runUntilIdle();
    std::vector<int> readsAfterPoll = {sources->reportReads};
    for (int poll = 2; poll <= 8; ++poll) {
        loop.advance(DevicesService::kPollInterval);
        readsAfterPoll.push_back(sources->reportReads);
    }
    EXPECT_EQ(readsAfterPoll, (std::vector<int>{1, 1, 1, 2, 2, 2, 3, 3}));
    EXPECT_EQ(sources->hidReads, 8);
    EXPECT_EQ(service.pollCount(), 8);
}

TEST_F(DevicesServiceTest, PublishesOnlyChangesAndEndsOnceWhenTheLastDeviceLeaves) {
    service.start();
    loop.runUntilIdle();
    EXPECT_TRUE(events.isEmpty());  // nothing to show, nothing to end

    sources->paired = std::vector{device("Buds", true, 4), device("Mouse", true, 5)};
    sources->report = {{QStringLiteral("Buds"), {80, std::nullopt}}};
    sources->hid = {{QStringLiteral("Mouse"), 50}};
    loop.advance(20);  // poll 2: the report is not due, so the buds have no battery yet
    loop.advance(20);  // poll 3: unchanged
    sources->report = {{QStringLiteral("Buds"), {79, std::nullopt}}};
    loop.advance(20);  // poll 4 reads the report
    sources->report = {};
    loop.advance(20);  // poll 5 keeps the figures of poll 4
    sources->hid = {{QStringLiteral("Mouse"), 49}};
    loop.advance(20);
    sources->paired = std::vector{device("Buds", false, 4), device("Mouse", false, 5)};
    loop.advance(20);
    loop.advance(20);
    sources->paired = std::nullopt;  // an unreadable list is an empty one
    loop.advance(20);
    EXPECT_EQ(events, (QStringList{"updated Buds -, Mouse 50", "updated Buds 79, Mouse 50",
                                   "updated Buds 79, Mouse 49", "ended devices.connected"}));
    EXPECT_EQ(service.lastList().size(), 0u);
}

TEST(DevicesServiceScans, RunOneAtATimeAndAReportDueMeanwhileIsReadByTheNext) {
    HeldLoop loop;
    EventBus bus(loop);
    auto sources = std::make_shared<FakeSources>();
    sources->paired = std::vector{device("iPhone", false, 2)};
    DevicesService service(loop, bus, sources, sources, sources);
    test::Posted posted(bus);

    service.start();         // poll 1 reads the report
    loop.inner.advance(60);  // polls 2, 3 and 4 (the report is due) meet the scan in flight
    EXPECT_EQ(loop.held.size(), 1u);
    loop.release();
    EXPECT_EQ(sources->reportReads, 1);
    EXPECT_EQ(posted.log, QStringList{"updated devices.connected"});

    loop.inner.advance(20);  // poll 5 owes the report of poll 4
    loop.release();
    EXPECT_EQ(sources->reportReads, 2);
    loop.inner.advance(20);
    loop.release();
    EXPECT_EQ(sources->reportReads, 2);
    EXPECT_EQ(posted.log, QStringList{"updated devices.connected"});
}

TEST(DevicesServiceScans, AnswerArrivingAfterTheServiceIsGoneIsDropped) {
    HeldLoop loop;
    EventBus bus(loop);
    auto sources = std::make_shared<FakeSources>();
    sources->paired = std::vector{device("iPhone", false, 2)};
    test::Posted posted(bus);
    {
        DevicesService service(loop, bus, sources, sources, sources);
        service.start();
    }
    loop.release();
    EXPECT_TRUE(posted.log.isEmpty());
}
