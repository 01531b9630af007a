#include "services/nowplaying/MediaService.h"

#include "core/VirtualLoop.h"
#include "fakes/FakeScriptBridge.h"
#include "fakes/QtPrinters.h"
#include "settings/SettingsStore.h"

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvo;

namespace {

/// A loop that can hold background work back, as a player that takes its time would.
class HoldingLoop final : public MainLoop {
public:
    explicit HoldingLoop(VirtualLoop& inner) : m_inner(inner) {}
    bool isMainThread() const override { return m_inner.isMainThread(); }
    void post(std::function<void()> fn) override { m_inner.post(std::move(fn)); }
    TaskHandle postDelayed(double s, std::function<void()> fn) override {
        return m_inner.postDelayed(s, std::move(fn));
    }
    TaskHandle scheduleRepeating(double i, double t, std::function<void()> fn) override {
        return m_inner.scheduleRepeating(i, t, std::move(fn));
    }
    void runInBackground(Qos qos, std::function<void()> fn) override {
        ++started;
        if (hold) {
            held.push_back(std::move(fn));
        } else {
            m_inner.runInBackground(qos, std::move(fn));
        }
    }
    double monotonicNow() const override { return m_inner.monotonicNow(); }
    QDateTime wallNow() const override { return m_inner.wallNow(); }

    bool hold = false;
    int started = 0;
    std::vector<std::function<void()>> held;

private:
    VirtualLoop& m_inner;
};

QByteArray png(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QString spotifyAnswer(const QString& title, double elapsed, bool playing,
                      const QString& art = QString(), const QString& artist = "Band") {
    return title + "||" + artist + "||LP||200||" + QString::number(elapsed) + "||" +
           (playing ? "true" : "false") + "||" + art + "||50";
}

class NowPlaying : public ::testing::Test {
protected:
    NowPlaying() {
        bridge->running = {QString::fromLatin1(bundle::spotify)};
        sub = bus.subscribe([this](const IslandEvent& e) { record(e); });
    }

    void record(const IslandEvent& e) {
        if (const auto* s = std::get_if<ActivityStarted>(&e)) {
            log << "started " + info(s->activity).title;
            last = s->activity;
        } else if (const auto* u = std::get_if<ActivityUpdated>(&e)) {
            log << "updated " + info(u->activity).title;
            last = u->activity;
        } else if (std::holds_alternative<ActivityEnded>(e)) {
            log << QStringLiteral("ended");
        } else {
            const auto& t = std::get<TransientNotification>(e);
            log << "toast " + t.title + "/" + t.subtitle.value_or("-") + "/" + t.icon;
            EXPECT_EQ(t.duration, 2.0);
        }
    }
    static const NowPlayingInfo& info(const Activity& a) {
        return std::get<NowPlayingInfo>(a.payload);
    }
    QStringList take() { return std::exchange(log, {}); }
    // Polls once, straight away, and applies the reading.
    void tick() { loop.advance(1.0); }

    VirtualLoop loop;
    HoldingLoop holding{loop};
    EventBus bus{loop};
    QTemporaryDir dir;
    SettingsStore settings{dir.filePath("korvo.conf"), loop, bus, nullptr, nullptr};
    std::shared_ptr<FakeScriptBridge> bridge = std::make_shared<FakeScriptBridge>(loop);
    std::shared_ptr<FakeMediaKeys> keys = std::make_shared<FakeMediaKeys>();
    FakeArtworkFetcher artwork;
    MediaService service{holding, bus, settings, bridge, artwork, keys};
    Subscription sub;
    QStringList log;
    std::optional<Activity> last;
};

}  // namespace

TEST_F(NowPlaying, TheFirstSourceWithATrackWinsAndPlayersAreReadOffTheMainThread) {
    bridge->running << QString::fromLatin1(bundle::music);
    bridge->spotify = QString();  // running but stopped
    bridge->music = QStringLiteral("Song||Band||LP||241||3||true||80");
    service.start();
    loop.runUntilIdle();
    EXPECT_EQ(take(), QStringList{"started Song"});
    EXPECT_EQ(info(*last).sourceApp, MediaSource::appleMusic);
    EXPECT_EQ(last->id, "nowplaying.system");
    EXPECT_EQ(last->kind, Activity::Kind::nowPlaying);

    bridge->spotify = spotifyAnswer(QStringLiteral("Tune"), 1, true);
    bridge->requests.clear();
    tick();
    EXPECT_EQ(take(), (QStringList{"toast Tune/Band/music.note", "updated Tune"}));
    for (const auto& r : bridge->requests) {
        const auto* read = std::get_if<intent::ReadPlayer>(&r.intent);
        EXPECT_TRUE(!read || read->player == PlayerSlot::spotify) << "the music app was asked";
    }
    EXPECT_FALSE(bridge->ranOnMainThread);
}

TEST_F(NowPlaying, PublishingFollowsTitlesPlayStateAndWholeSeconds) {
    bridge->spotify = spotifyAnswer(QStringLiteral("A"), 12.2, true);
    service.start();
    loop.runUntilIdle();
    EXPECT_EQ(take(), QStringList{"started A"});
    EXPECT_EQ(last->priority, ActivityPriority::normal);

    bridge->spotify = spotifyAnswer(QStringLiteral("A"), 12.9, true);
    tick();
    EXPECT_TRUE(take().isEmpty());
    bridge->spotify = spotifyAnswer(QStringLiteral("A"), 13.0, true);
    tick();
    EXPECT_EQ(take(), QStringList{"updated A"});

    bridge->spotify = spotifyAnswer(QStringLiteral("   "), 14, true);
    tick();
    EXPECT_TRUE(take().isEmpty());
    EXPECT_EQ(service.lastInfo()->title, "A");

    bridge->spotify = spotifyAnswer(QStringLiteral("B"), 0, true, {}, QStringLiteral("Other"));
    tick();
    EXPECT_EQ(take(), (QStringList{"toast B/Other/music.note", "updated B"}));

    bridge->spotify = spotifyAnswer(QStringLiteral("B"), 0, false, {}, QStringLiteral("Other"));
    tick();
    EXPECT_EQ(take(), QStringList{"updated B"});  // pausing is news but no toast
    EXPECT_EQ(last->priority, ActivityPriority::low);
    bridge->spotify = spotifyAnswer(QStringLiteral("C"), 0, false);
    tick();
    EXPECT_EQ(take(), QStringList{"updated C"});  // a change while paused never toasts

    settings.setTrackChangeToast(false);
    bridge->spotify = spotifyAnswer(QStringLiteral("D"), 0, true);
    tick();
    EXPECT_EQ(take(), QStringList{"updated D"});

    bridge->running.clear();
    tick();
    tick();
    EXPECT_EQ(take(), QStringList{"ended"});
    EXPECT_FALSE(service.lastInfo());

    settings.setTrackChangeToast(true);
    bridge->running = {QString::fromLatin1(bundle::spotify)};
    tick();
    EXPECT_EQ(take(), QStringList{"started D"});  // the first reading after nothing never toasts
}

TEST_F(NowPlaying, AHungReadSkipsTicksInsteadOfPilingUp) {
    bridge->spotify = spotifyAnswer(QStringLiteral("A"), 1, true);
    holding.hold = true;
    service.start();
    loop.advance(3.5);
    EXPECT_EQ(holding.started, 1);
    EXPECT_TRUE(take().isEmpty());

    holding.hold = false;
    for (auto& work : std::exchange(holding.held, {})) {
        work();
    }
    loop.runUntilIdle();
    EXPECT_EQ(take(), QStringList{"started A"});
    tick();
    EXPECT_EQ(holding.started, 2);
}

TEST_F(NowPlaying, CoversAreFetchedDecodedCachedAndRefreshTheActivity) {
    const QString url = QStringLiteral("https://i.example/cover.png");
    bridge->spotify = spotifyAnswer(QStringLiteral("A"), 1, true, url);
    service.start();
    loop.runUntilIdle();
    tick();  // still in flight: not asked twice
    EXPECT_EQ(artwork.urls, QStringList{url});
    take();

    artwork.completeAll(png(600, 300));
    loop.runUntilIdle();
    EXPECT_EQ(take(), QStringList{"updated A"});
    ASSERT_TRUE(info(*last).artwork);
    EXPECT_EQ(info(*last).artwork->size(), QSize(256, 128));
    EXPECT_EQ(service.artworkCacheSize(), 1);

    bridge->spotify = spotifyAnswer(QStringLiteral("A"), 2, true, url);
    tick();
    EXPECT_EQ(artwork.urls.size(), 1);  // from the cache
    EXPECT_TRUE(info(*last).artwork);

    // A failing address is asked again on every tick while the reading lasts.
    const QString broken = QStringLiteral("https://i.example/broken");
    bridge->spotify = spotifyAnswer(QStringLiteral("B"), 0, true, broken);
    for (int i = 0; i < 3; ++i) {
        tick();
        artwork.completeAll(std::nullopt);
        loop.runUntilIdle();
    }
    EXPECT_EQ(artwork.urls.count(broken), 3);
    bridge->spotify =
        spotifyAnswer(QStringLiteral("C"), 0, true, QStringLiteral("https://i.example/not an url"));
    tick();
    EXPECT_EQ(artwork.urls.size(), 4);
}

TEST_F(NowPlaying, The62ndCoverEmptiesTheCacheFirst) {
    service.start();
    for (int i = 0; i < 62; ++i) {
        bridge->spotify =
            spotifyAnswer(QString::number(i), 0, true, QStringLiteral("https://c/%1").arg(i));
        tick();
        artwork.completeAll(png(4, 4));
        loop.runUntilIdle();
        EXPECT_EQ(service.artworkCacheSize(), i < 61 ? i + 1 : 1);
    }
}

TEST_F(NowPlaying, MusicCoversComeFromTheTrackAndLateOnesStayOutOfTheReading) {
    bridge->running = {QString::fromLatin1(bundle::music)};
    bridge->music = QStringLiteral("Song||Band||LP||241||3||true||80");
    holding.hold = true;
    service.start();
    for (auto& work : std::exchange(holding.held, {})) {
        work();
    }
    loop.runUntilIdle();  // the reading lands and asks for its cover, which is held back
    EXPECT_EQ(take(), QStringList{"started Song"});
    ASSERT_EQ(holding.held.size(), 1u);

    holding.hold = false;
    bridge->music = QStringLiteral("Other||Band||LP||241||3||true||80");
    tick();  // "Other" has no cover
    EXPECT_EQ(take(), (QStringList{"toast Other/Band/music.note", "updated Other"}));

    bridge->artworkBytes = png(64, 64);
    for (auto& work : std::exchange(holding.held, {})) {
        work();  // the cover of "Song" arrives after the change of track
    }
    loop.runUntilIdle();
    EXPECT_EQ(service.artworkCacheSize(), 1);
    EXPECT_FALSE(service.lastInfo()->artwork);
    EXPECT_TRUE(take().isEmpty());
    EXPECT_EQ(bridge->requestsOf<intent::ReadArtwork>().size(), 2u);

    tick();  // "Other" asks again, and now gets the bytes
    EXPECT_EQ(take(), QStringList{"updated Other"});
    EXPECT_TRUE(service.lastInfo()->artwork);
}

TEST_F(NowPlaying, BrowsersAreAskedInOrderAndOnlyWhenAllowed) {
    const QString brave = QString::fromLatin1(bundle::brave);
    const QString safari = QString::fromLatin1(bundle::safari);
    const QString chrome = QString::fromLatin1(bundle::chrome);
    bridge->running = {brave, safari, chrome};
    bridge->scans[safari] = QStringLiteral("Tune | SoundCloud~|~TAB~|~https://soundcloud.com/x");
    bridge->scans[chrome] = QStringLiteral("Clip - YouTube~|~TAB~|~https://youtube.com/watch?v=1");
    service.start();
    loop.runUntilIdle();
    EXPECT_EQ(take(), QStringList{"started Clip"});
    EXPECT_EQ(service.activeBrowser()->bundleID, chrome);
    EXPECT_EQ(bridge->requestsOf<intent::BrowserScan>().size(), 1u);

    bridge->scans.remove(chrome);  // Chrome has no media tab, Brave has none either
    tick();
    EXPECT_EQ(service.activeBrowser()->appName, "Safari");
    EXPECT_EQ(info(*last).sourceLabel, QStringLiteral("SoundCloud"));

    settings.setBrowserMedia(false);
    bridge->requests.clear();
    bridge->runningAsked.clear();
    tick();
    EXPECT_EQ(take().last(), "ended");
    EXPECT_FALSE(service.activeBrowser());
    EXPECT_TRUE(bridge->requestsOf<intent::BrowserScan>().empty());
    EXPECT_FALSE(bridge->runningAsked.contains(chrome));
}

TEST_F(NowPlaying, PlayerControlsSendTheirTextsInTheBackground) {
    service.togglePlayPause();  // nothing read yet: every control is a no-op
    service.seek(3);
    service.setVolume(0.5);
    loop.runUntilIdle();
    EXPECT_TRUE(bridge->requests.empty());

    bridge->spotify = spotifyAnswer(QStringLiteral("A"), 1, true);
    service.start();
    loop.runUntilIdle();
    bridge->requests.clear();
    service.togglePlayPause();
    service.seek(75.9);
    service.setVolume(1.7);
    EXPECT_TRUE(bridge->requests.empty());  // nothing runs on the calling thread
    loop.runUntilIdle();
    ASSERT_EQ(bridge->requests.size(), 3u);
    EXPECT_EQ(bridge->requests[1].script,
              "tell application \"Spotify\" to set player position to 75.9");
    EXPECT_EQ(std::get<intent::PlayerCommand>(bridge->requests[2].intent).value, 100);  // capped
    EXPECT_FALSE(bridge->ranOnMainThread);
    EXPECT_TRUE(keys->posted.empty());
}

TEST_F(NowPlaying, PageControlsFallBackToMediaKeys) {
    const QString chrome = QString::fromLatin1(bundle::chrome);
    bridge->running = {chrome};
    bridge->scans[chrome] = QStringLiteral("Clip - YouTube~|~TAB~|~https://youtube.com/watch?v=1");
    service.start();
    loop.runUntilIdle();
    bridge->requests.clear();

    bridge->commandAnswer = QString();  // the page has no next button
    service.next();
    loop.runUntilIdle();
    ASSERT_EQ(bridge->requests.size(), 1u);
    EXPECT_EQ(std::get<intent::PageScript>(bridge->requests[0].intent).action, MediaAction::next);
    EXPECT_GT(bridge->requests[0].timeout, 0);  // a page that hangs cannot hold the control
    EXPECT_EQ(keys->posted, (std::vector<std::pair<int, bool>>{{17, true}, {17, false}}));

    keys->posted.clear();
    bridge->commandAnswer.reset();  // timed out
    service.togglePlayPause();
    service.seek(75.9);      // no fallback for a seek...
    service.setVolume(0.5);  // ...or a volume
    loop.runUntilIdle();
    EXPECT_EQ(keys->posted, (std::vector<std::pair<int, bool>>{{16, true}, {16, false}}));
    const auto seek = std::get<intent::PageScript>(bridge->requests[2].intent);
    EXPECT_TRUE(seek.javaScript.endsWith("v.currentTime=75}"));
    EXPECT_EQ(seek.value, 75);
    EXPECT_TRUE(std::get<intent::PageScript>(bridge->requests[3].intent)
                    .javaScript.endsWith("v.volume=0.50}"));

    keys->posted.clear();
    bridge->commandAnswer = QStringLiteral("ok");
    service.previous();
    keys->trusted = false;
    bridge->commandAnswer = QStringLiteral("OK");
    service.previous();
    loop.runUntilIdle();
    EXPECT_TRUE(keys->posted.empty());  // ran, then no trust to send keys
    EXPECT_FALSE(bridge->ranOnMainThread);
}

// With no player on the bus a poll asks nobody: no background read, and a track still shown ends.
TEST_F(NowPlaying, WithNobodyRunningAPollStaysOnTheMainThreadAndEndsTheTrack) {
    bridge->spotify = spotifyAnswer(QStringLiteral("A"), 1, true);
    service.start();
    loop.runUntilIdle();
    EXPECT_EQ(take(), QStringList{"started A"});
    const int reads = holding.started;

    bridge->nobodyRuns = true;
    tick();
    tick();
    EXPECT_EQ(holding.started, reads);
    EXPECT_EQ(take(), QStringList{"ended"});

    bridge->nobodyRuns = false;
    tick();
    EXPECT_EQ(holding.started, reads + 1);
    EXPECT_EQ(take(), QStringList{"started A"});
}
