// Daemons and players that misbehave on a private session bus (CTest runs these under
// dbus-run-session): they sit on calls, leave in the middle of one, or answer with the wrong
// types. Korvo's main loop must keep going and read them again once they behave.
#include "platform/linux/MprisPlayers.h"
#include "platform/linux/UPowerPowerSource.h"

#include "core/QtMainLoop.h"
#include "fakes/FakeArtworkFetcher.h"
#include "platform/DBusTestBus.h"
#include "services/nowplaying/MediaService.h"
#include "services/nowplaying/NowPlayingRules.h"
#include "settings/SettingsStore.h"

#include <QDBusMetaType>
#include <QDBusVariant>
#include <QTemporaryDir>

#include <cmath>

using namespace korvo;
using korvo::testing::FakeService;
using korvo::testing::settle;
using korvo::testing::waitUntil;

namespace {

const QString kMprisPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

/// A daemon answering calls with what `answer` gives (nothing: not handled). While `holding`,
/// calls are taken and never answered, as by a daemon stuck in a handler.
class Daemon : public FakeService {
public:
    using Answer = std::function<std::optional<QVariant>(const QDBusMessage&)>;

    Daemon(QString name, QString root, Answer answer)
        : FakeService(std::move(name), std::move(root)), m_answer(std::move(answer)) {}

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        ++calls;
        if (holding) {
            ++held;
            return true;
        }
        const auto reply = m_answer(message);
        if (reply) {
            connection.send(message.createReply(*reply));
        }
        return reply.has_value();
    }

    std::atomic<bool> holding{false};
    std::atomic<int> held{0};

private:
    Answer m_answer;
};

bool isGetAll(const QDBusMessage& m, const QString& interface) {
    return m.member() == QLatin1String("GetAll") && m.arguments().value(0).toString() == interface;
}

/// An MPRIS player answering property reads from `props`.
std::unique_ptr<Daemon> player(const QString& name, const QVariantMap& props) {
    auto daemon = std::make_unique<Daemon>(name, kMprisPath, [props](const QDBusMessage& m) {
        return std::optional<QVariant>(
            isGetAll(m, kPlayerInterface) ? props : QVariantMap{{"Identity", QStringLiteral("X")}});
    });
    EXPECT_TRUE(daemon->publish());
    return daemon;
}

QVariantMap playing(const QString& title, const QVariantMap& metaChanges = {},
                    const QVariantMap& propChanges = {}) {
    QVariantMap meta{{"xesam:title", title},
                     {"xesam:artist", QStringList{QStringLiteral("Band")}},
                     {"mpris:length", qlonglong(200'000'000)}};
    meta.insert(metaChanges);
    QVariantMap props{{"PlaybackStatus", QStringLiteral("Playing")},
                      {"Metadata", meta},
                      {"Position", qlonglong(12'000'000)},
                      {"Volume", 0.5}};
    props.insert(propChanges);
    return props;
}

class FaultBus : public ::testing::Test {
protected:
    void SetUp() override { KORVO_REQUIRE_SESSION_BUS(); }
};

class FaultBusMpris : public FaultBus {};
class FaultBusUPower : public FaultBus {};

}  // namespace

TEST_F(FaultBusMpris, APlayerStuckInACallThenGoneIsReadAgainOnItsReturn) {
    const QString name = QStringLiteral("org.mpris.MediaPlayer2.vlc");
    QtMainLoop loop;
    EventBus bus(loop);
    QTemporaryDir dir;
    SettingsStore settings(dir.filePath("k.conf"));
    FakeArtworkFetcher artwork;
    MprisPlayers players(loop);
    MediaService service(loop, bus, settings, players, artwork);
    std::optional<QString> shown;
    auto sub = bus.subscribe([&](const IslandEvent& e) {
        if (const auto* s = std::get_if<ActivityStarted>(&e)) {
            shown = std::get<NowPlayingInfo>(s->activity.payload).title;
        } else if (const auto* u = std::get_if<ActivityUpdated>(&e)) {
            shown = std::get<NowPlayingInfo>(u->activity.payload).title;
        } else if (std::holds_alternative<ActivityEnded>(e)) {
            shown.reset();
        }
    });

    auto first = player(name, playing(QStringLiteral("First")));
    service.start();
    ASSERT_TRUE(waitUntil([&] { return shown == QStringLiteral("First"); }, 3000));
    ASSERT_TRUE(waitUntil([&] { return players.callsPending() == 0; }));

    // Stuck: what its signal carries is shown all the same, and the question that follows a new
    // track (where it stands) waits without holding anything else up.
    first->holding = true;
    first->emitPropertiesChanged(
        kMprisPath, kPlayerInterface,
        {{"Metadata", QVariantMap{{"xesam:title", QStringLiteral("Stuck")}}}});
    ASSERT_TRUE(waitUntil([&] { return shown == QStringLiteral("Stuck"); }, 3000));
    ASSERT_TRUE(waitUntil([&] { return first->held > 0; }, 3000));
    std::optional<int> pendingWhenRun;
    QTimer::singleShot(0, [&] { pendingWhenRun = players.callsPending(); });
    ASSERT_TRUE(waitUntil([&] { return pendingWhenRun.has_value(); }));
    EXPECT_EQ(*pendingWhenRun, 1);

    // Then gone from the bus: the held call comes back at once, the track ends, and the player
    // that starts next under the name is read at once, not held against the one that hung.
    first->stop();
    ASSERT_TRUE(waitUntil([&] { return !shown && players.callsPending() == 0; }, 3000));
    auto second = player(name, playing(QStringLiteral("Second")));
    EXPECT_TRUE(waitUntil([&] { return shown == QStringLiteral("Second"); }, 3000));
    loop.waitForBackground();
}

TEST_F(FaultBusMpris, WrongTypesAndWildNumbersReadAsNothingOrASaneTrack) {
    using Map = QMap<QString, QString>;
    qDBusRegisterMetaType<Map>();
    const QString huge(4'000'000, QLatin1Char('x'));
    struct Case {
        const char* what;
        QVariantMap props;
        std::optional<QString> title;  // what must be read; none: nothing or any sane reading
    };
    const Case cases[] = {
        {"metadata is text", playing({}, {}, {{"Metadata", QStringLiteral("garbage")}}), {}},
        {"metadata is a list", playing({}, {}, {{"Metadata", QVariantList{1, "x"}}}), {}},
        {"metadata maps to text",
         playing({}, {}, {{"Metadata", QVariant::fromValue(Map{{"xesam:title", "T"}})}}),
         {}},
        {"title is numbers",
         playing({}, {{"xesam:title", QVariant::fromValue(QList<int>{1})}}),
         {}},
        {"artists are numbers",
         playing("Song", {{"xesam:artist", QVariant::fromValue(QList<int>{7, 8})}}), "Song"},
        {"artists are a map", playing("Song", {{"xesam:artist", QVariantMap{{"a", 1}}}}), "Song"},
        {"artists are variants", playing("Song", {{"xesam:artist", QVariantList{1, "x"}}}), "Song"},
        {"artist in a variant",
         playing("Song", {{"xesam:artist", QVariant::fromValue(QDBusVariant(QStringList{"B"}))}}),
         "Song"},
        {"title in a variant in a variant",
         playing({}, {{"xesam:title", QVariant::fromValue(QDBusVariant(
                                          QVariant::fromValue(QDBusVariant("Deep"))))}}),
         "Deep"},
        {"length is text", playing("Song", {{"mpris:length", QStringLiteral("long")}}), "Song"},
        {"length is negative", playing("Song", {{"mpris:length", qlonglong(-5'000'000)}}), "Song"},
        {"length is endless", playing("Song", {{"mpris:length", 1e300}}), "Song"},
        {"position is NaN", playing("Song", {}, {{"Position", std::nan("")}}), "Song"},
        {"position is negative", playing("Song", {}, {{"Position", qlonglong(-7'000'000)}}),
         "Song"},
        {"position is endless", playing("Song", {}, {{"Position", 1e300}}), "Song"},
        {"volume is NaN", playing("Song", {}, {{"Volume", std::nan("")}}), "Song"},
        {"volume is negative", playing("Song", {}, {{"Volume", -3.0}}), "Song"},
        {"volume is endless", playing("Song", {}, {{"Volume", 1e300}}), "Song"},
        {"volume is text", playing("Song", {}, {{"Volume", QStringLiteral("loud")}}), "Song"},
        {"status is a number", playing("Song", {}, {{"PlaybackStatus", 42}}), "Song"},
        {"rate is text", playing("Song", {}, {{"Rate", QStringLiteral("fast")}}), "Song"},
        {"capabilities are text", playing("Song", {}, {{"CanSeek", QStringLiteral("yes")}}),
         "Song"},
        {"title is huge", playing(huge), huge},
        {"artists are many", playing("Song", {{"xesam:artist", QStringList(100'000, "A")}}),
         "Song"},
    };
    QtMainLoop loop;
    MprisPlayers players(loop);
    for (const Case& c : cases) {
        auto fake = player(QStringLiteral("org.mpris.MediaPlayer2.vlc"), c.props);
        ASSERT_TRUE(waitUntil([&] { return fake->calls >= 2 && players.callsPending() == 0; }))
            << c.what << ": the read never came back";
        settle(20);
        const auto all = players.players();
        ASSERT_EQ(all.size(), 1u) << c.what;
        const auto chosen = nowplaying::choosePlayer(all, true);
        if (c.title) {
            ASSERT_TRUE(chosen) << c.what;
        }
        if (chosen) {
            const NowPlayingInfo info = nowplaying::readingOf(all[*chosen], loop.monotonicNow());
            if (c.title) {
                EXPECT_EQ(info.title, *c.title) << c.what;
            }
            // Times as MPRIS keeps them: whole microseconds in an int64.
            EXPECT_TRUE(info.elapsed >= 0 && info.elapsed < 1e13) << c.what;
            EXPECT_TRUE(info.duration >= 0 && info.duration < 1e13) << c.what;
            EXPECT_TRUE(!info.volume || (*info.volume >= 0 && *info.volume <= 1)) << c.what;
        }
        fake.reset();
        ASSERT_TRUE(waitUntil([&] { return players.players().empty(); })) << c.what;
    }
}

TEST_F(FaultBusUPower, AStuckDaemonKeepsTheLastReadingAndIsFollowedAfterItLeaves) {
    int level = 50;
    auto upower = [&level] {
        auto daemon = std::make_unique<Daemon>(
            UPowerPowerSource::kService, UPowerPowerSource::kDaemonPath,
            [level](const QDBusMessage& m) -> std::optional<QVariant> {
                if (isGetAll(m, QStringLiteral("org.freedesktop.UPower"))) {
                    return QVariantMap{{"OnBattery", false}};
                }
                if (isGetAll(m, QStringLiteral("org.freedesktop.UPower.Device"))) {
                    return QVariantMap{{"IsPresent", true}, {"State", 1u}, {"Percentage", level}};
                }
                return std::nullopt;
            });
        EXPECT_TRUE(daemon->publish());
        return daemon;
    };
    auto capacity = [](const UPowerPowerSource& source) {
        const auto d = source.firstSource();
        return d ? d->currentCapacity.value_or(-1) : -1;
    };

    auto daemon = upower();
    UPowerPowerSource source(QDBusConnection::sessionBus());
    int changes = 0;
    auto sub = source.observe([&] { ++changes; });
    ASSERT_TRUE(waitUntil([&] { return capacity(source) == 50; }));
    for (const bool dropsOff : {true, false}) {
        daemon->holding = true;
        daemon->emitPropertiesChanged(UPowerPowerSource::kDisplayDevicePath,
                                      QStringLiteral("org.freedesktop.UPower.Device"),
                                      {{"Percentage", 60}});
        ASSERT_TRUE(waitUntil([&] { return daemon->held > 0; }));
        // The loop runs on while the daemon sits on the call.
        bool ran = false;
        QTimer::singleShot(0, [&] { ran = true; });
        EXPECT_TRUE(waitUntil([&] { return ran; })) << "the loop waited on the stuck daemon";
        settle(100);
        EXPECT_EQ(capacity(source), level);  // the reading in hand stays while the daemon is stuck
        dropsOff ? daemon->stop() : daemon->releaseName();
        ASSERT_TRUE(waitUntil([&] { return capacity(source) == -1; })) << dropsOff;
        level += 10;
        const int before = changes;
        auto back = upower();
        EXPECT_TRUE(waitUntil([&] { return capacity(source) == level && changes > before; }))
            << dropsOff;
        daemon = std::move(back);
    }
}
