// A real player on a private session bus (CTest runs this under dbus-run-session): mpv with its
// MPRIS script plays a tone the test writes, and Korvo's backend and service read and drive it.
#include "platform/linux/MprisPlayers.h"

#include "core/QtMainLoop.h"
#include "fakes/FakeArtworkFetcher.h"
#include "fakes/QtPrinters.h"
#include "platform/DBusTestBus.h"
#include "services/nowplaying/MediaService.h"
#include "settings/SettingsStore.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace korvo;
using korvo::testing::waitUntil;

namespace {

const QString kTitle = QStringLiteral("Korvo Test Tone");
constexpr int kSeconds = 30;

// A mono 16-bit WAV of a quiet 440 Hz tone.
bool writeTone(const QString& path) {
    constexpr int rate = 8000;
    QByteArray samples;
    QDataStream out(&samples, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    for (int i = 0; i < rate * kSeconds; ++i) {
        out << static_cast<qint16>(2000 * std::sin(2 * M_PI * 440 * i / rate));
    }
    QByteArray wav;
    QDataStream w(&wav, QIODevice::WriteOnly);
    w.setByteOrder(QDataStream::LittleEndian);
    w.writeRawData("RIFF", 4);
    w << quint32(36 + samples.size());
    w.writeRawData("WAVEfmt ", 8);
    w << quint32(16) << quint16(1) << quint16(1) << quint32(rate) << quint32(rate * 2) << quint16(2)
      << quint16(16);
    w.writeRawData("data", 4);
    w << quint32(samples.size());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(wav + samples) == wav.size() + samples.size();
}

QString mprisScript() {
    for (const char* path : {"/etc/mpv/scripts/mpris.so", "/usr/lib/mpv-mpris/mpris.so",
                             "/usr/lib/x86_64-linux-gnu/mpv/scripts/mpris.so"}) {
        if (QFileInfo::exists(QString::fromLatin1(path))) {
            return QString::fromLatin1(path);
        }
    }
    return {};
}

}  // namespace

TEST(RealPlayer, MpvIsReadAndDrivenThroughMpris) {
    KORVO_REQUIRE_SESSION_BUS();
    const QString mpv = QStandardPaths::findExecutable(QStringLiteral("mpv"));
    const QString script = mprisScript();
    if (mpv.isEmpty() || script.isEmpty()) {
        GTEST_SKIP() << "needs mpv and mpv-mpris";
    }
    QTemporaryDir dir;
    const QString tone = dir.filePath(QStringLiteral("tone.wav"));
    ASSERT_TRUE(writeTone(tone));

    QtMainLoop loop;
    EventBus bus(loop);
    SettingsStore settings(dir.filePath(QStringLiteral("korvo.conf")));
    MprisPlayers players(loop);
    FakeArtworkFetcher artwork;
    MediaService service(loop, bus, settings, players, artwork);
    service.start();

    QProcess player;
    player.setProgram(mpv);
    player.setArguments({QStringLiteral("--no-config"), QStringLiteral("--script=") + script,
                         QStringLiteral("--no-video"), QStringLiteral("--ao=null"),
                         QStringLiteral("--idle=no"), QStringLiteral("--loop-file=inf"),
                         QStringLiteral("--volume=80"),
                         QStringLiteral("--force-media-title=") + kTitle, tone});
    player.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    player.start();
    ASSERT_TRUE(player.waitForStarted(5000));
    auto info = [&] { return service.lastInfo().value_or(NowPlayingInfo{}); };

    ASSERT_TRUE(waitUntil([&] { return info().title == kTitle; }, 15000)) << "mpv never showed";
    // The file's length follows the title once mpv has opened it.
    ASSERT_TRUE(waitUntil([&] { return info().duration > 0; }, 5000));
    EXPECT_TRUE(info().isPlaying);
    EXPECT_EQ(info().sourceApp, MediaSource::player);
    EXPECT_EQ(info().sourceLabel, QStringLiteral("mpv"));
    EXPECT_NEAR(info().duration, kSeconds, 0.5);
    EXPECT_TRUE(info().canSeek && info().canPlayPause && info().canSetVolume);
    EXPECT_NEAR(info().volume.value_or(0), 0.8, 0.01);

    // Between its signals the position is worked out, not asked; it keeps up with the player's.
    korvo::testing::settle(1500);
    auto positions = [&] {
        QDBusMessage get = QDBusMessage::createMethodCall(
            QStringLiteral("org.mpris.MediaPlayer2.mpv"), QStringLiteral("/org/mpris/MediaPlayer2"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << QStringLiteral("org.mpris.MediaPlayer2.Player") << QStringLiteral("Position");
        const double before = players.players().at(0).positionAt(loop.monotonicNow());
        const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 5000);
        const double after = players.players().at(0).positionAt(loop.monotonicNow());
        const double actual =
            reply.arguments().value(0).value<QDBusVariant>().variant().toLongLong() / 1e6;
        return std::make_tuple(before, actual, after);
    };
    const auto [before, actual, after] = positions();
    EXPECT_GE(actual, before - 0.3);
    EXPECT_LE(actual, after + 0.3);

    service.togglePlayPause();
    ASSERT_TRUE(waitUntil([&] { return !info().isPlaying; }, 5000));
    service.seek(20);
    ASSERT_TRUE(waitUntil([&] { return std::abs(info().elapsed - 20) < 0.5; }, 5000))
        << info().elapsed;
    service.togglePlayPause();
    ASSERT_TRUE(waitUntil([&] { return info().isPlaying; }, 5000));
    // Playing on from there, as the player reports it.
    ASSERT_TRUE(waitUntil([&] { return info().elapsed >= 21; }, 5000));

    service.setVolume(0.3);
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto all = players.players();
            return all.size() == 1 && all[0].volume && std::abs(*all[0].volume - 0.3) < 0.01;
        },
        5000));

    player.terminate();
    ASSERT_TRUE(player.waitForFinished(5000));
    EXPECT_TRUE(waitUntil([&] { return !service.lastInfo(); }, 5000));
    loop.waitForBackground();
}
