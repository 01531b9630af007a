#include "ui/cards/NowPlayingExpandedView.h"

#include "settings/AccentColors.h"
#include "ui/cards/CardScene.h"

#include <QImage>

using namespace korvo;
using namespace korvo::ui;
using korvo::cardtest::CardScene;
using korvo::cardtest::Tree;

namespace {

NowPlayingInfo track(double elapsed, double duration, std::optional<double> volume = 0.5) {
    NowPlayingInfo t;
    t.title = "Song";
    t.artist = "Band";
    t.isPlaying = true;
    t.elapsed = elapsed;
    t.duration = duration;
    t.sourceApp = MediaSource::spotify;
    t.volume = volume;
    t.canPlayPause = t.canGoNext = t.canGoPrevious = t.canSeek = true;
    t.canSetVolume = volume.has_value();
    return t;
}

Tree card(CardScene& s, const NowPlayingInfo& info) {
    return s.frame([&](const auto& c) { return nowPlayingExpandedView(c, info); }, {390, 120});
}

// Where a slider's fill ends, as a fraction of its track.
double sliderValue(const Tree& t, const QString& id) {
    for (const Node* n : t.inside(Node::Kind::frame, id)) {
        if (n->widthFraction) {
            return *n->widthFraction;
        }
    }
    return -1;
}

// The pointer on a slider at `fraction` of its track, as the window reports it: in the hit
// area, which reaches 6 points beyond the track.
void drag(const Tree& t, const QString& id, double fraction, DragPhase phase) {
    const Node* n = t.byId(id);
    n->onDrag({6 + fraction * (n->frame.width() - 12), 10}, phase);
}

}  // namespace

TEST(NowPlayingCard, TimesPositionAndScrubbingWithOneSeekOnRelease) {
    EXPECT_EQ(timeString(75), "1:15");
    EXPECT_EQ(timeString(3600), "60:00");
    CardScene s;
    const Tree t = card(s, track(125.9, 240));
    EXPECT_TRUE(t.draws("2:05"));
    EXPECT_TRUE(t.draws("-1:54"));
    EXPECT_NEAR(sliderValue(t, "nowPlaying.position"), 0.5246, 1e-4);

    const NowPlayingInfo info = track(20, 200);
    drag(card(s, info), "nowPlaying.position", 0.3, DragPhase::began);
    drag(card(s, info), "nowPlaying.position", 0.5, DragPhase::moved);
    const Tree during = card(s, info);
    EXPECT_TRUE(during.draws("1:40"));  // the times follow the finger
    EXPECT_TRUE(during.draws("-1:40"));
    EXPECT_TRUE(s.media.seeks.empty());
    drag(during, "nowPlaying.position", 0.5, DragPhase::ended);
    EXPECT_EQ(s.media.seeks, std::vector<double>{100});
    EXPECT_TRUE(card(s, info).draws("0:20"));  // the player's position again

    // A click without movement jumps and seeks at once.
    const Tree again = card(s, info);
    drag(again, "nowPlaying.position", 0.25, DragPhase::began);
    drag(again, "nowPlaying.position", 0.25, DragPhase::ended);
    EXPECT_EQ(s.media.seeks, (std::vector<double>{100, 50}));
}

TEST(NowPlayingCard, VolumeDragIsThrottledEndsWithTheFinalLevelAndIsNotFought) {
    CardScene s;
    NowPlayingInfo info = track(10, 100, 0.5);
    Tree t = card(s, info);
    drag(t, "nowPlaying.volume", 0.5, DragPhase::began);
    for (int i = 1; i <= 100; ++i) {  // a second of movement, every 10 ms
        s.loop.advance(0.01);
        drag(t, "nowPlaying.volume", 0.5 + i * 0.004, DragPhase::moved);
    }
    EXPECT_EQ(s.media.volumes.size(), 7u);
    info.volume = 0.1;  // the player reports during the drag: the knob stays under the finger
    t = card(s, info);
    EXPECT_NEAR(sliderValue(t, "nowPlaying.volume"), 0.9, 1e-9);
    drag(t, "nowPlaying.volume", 0.9, DragPhase::ended);
    ASSERT_EQ(s.media.volumes.size(), 8u);
    EXPECT_NEAR(s.media.volumes.back(), 0.9, 1e-9);
    info.volume = 0.3;  // once released, readings are followed again
    EXPECT_NEAR(sliderValue(card(s, info), "nowPlaying.volume"), 0.3, 1e-9);
}

TEST(NowPlayingCard, SpeakerGlyphAndMute) {
    EXPECT_EQ(speakerSymbol(0), "speaker.slash.fill");
    EXPECT_EQ(speakerSymbol(0.33), "speaker.wave.1.fill");
    EXPECT_EQ(speakerSymbol(0.34), "speaker.wave.2.fill");
    EXPECT_EQ(speakerSymbol(0.67), "speaker.wave.3.fill");
    EXPECT_EQ(toggledMute(0, 0), (MuteToggle{0.6, 0}));  // nothing remembered

    CardScene s;
    const NowPlayingInfo info = track(10, 100, 0.5);
    card(s, info).click("nowPlaying.mute");
    EXPECT_TRUE(card(s, info).draws("speaker.slash.fill"));
    card(s, info).click("nowPlaying.mute");
    EXPECT_TRUE(card(s, info).draws("speaker.wave.2.fill"));
    EXPECT_EQ(s.media.volumes, (std::vector<double>{0, 0.5}));
}

TEST(NowPlayingCard, RowsBySourceAndLength) {
    CardScene s;
    const Tree spotify = card(s, track(10, 100, std::nullopt));
    EXPECT_TRUE(spotify.draws("s.circle.fill"));  // no volume: the player's glyph instead
    EXPECT_EQ(spotify.byId("nowPlaying.volume"), nullptr);

    NowPlayingInfo desktop = track(0, 0, std::nullopt);
    desktop.sourceApp = MediaSource::player;
    const Tree noLength = card(s, desktop);
    EXPECT_EQ(noLength.byId("nowPlaying.position"), nullptr);
    EXPECT_EQ(noLength.inside(Node::Kind::text).size(), 2u);  // title and artist: no hint
    EXPECT_TRUE(noLength.draws("play.circle.fill"));

    NowPlayingInfo tab = desktop;
    tab.sourceApp = MediaSource::browser;
    tab.sourceLabel = "YouTube";
    const Tree hint = card(s, tab);
    ASSERT_NE(hint.byId("nowPlaying.hint"), nullptr);  // one line saying why nothing can be sought
    EXPECT_EQ(hint.inside(Node::Kind::text, "nowPlaying.hint").front()->lineLimit,
              std::optional(1));
    EXPECT_TRUE(hint.draws("Band · YouTube"));
    EXPECT_TRUE(hint.draws("globe"));
    desktop.artist.clear();
    desktop.sourceLabel = "Radio";
    EXPECT_EQ(nowPlayingCardSubtitle(desktop), "Radio");  // a label stands in for the artist
}

TEST(NowPlayingCard, ControlsThePlayerDoesNotOfferAreShownDimmedAndSendNothing) {
    CardScene s;
    NowPlayingInfo info = track(30, 120, 0.5);
    info.canSeek = info.canGoPrevious = info.canSetVolume = false;
    const Tree t = s.settled([&](const auto& c) { return nowPlayingExpandedView(c, info); });
    // The position is still shown, as a line without a knob.
    EXPECT_EQ(t.byId("nowPlaying.position"), nullptr);
    ASSERT_NE(t.byId("nowPlaying.progress"), nullptr);
    EXPECT_TRUE(t.draws("0:30"));
    // The volume the player reports, but cannot take, gives way to the player's glyph.
    EXPECT_EQ(t.byId("nowPlaying.volume"), nullptr);
    EXPECT_TRUE(t.draws("s.circle.fill"));
    double previous = 1;
    double next = 1;
    ASSERT_TRUE(t.glyph("backward.fill", &previous));
    ASSERT_TRUE(t.glyph("forward.fill", &next));
    EXPECT_LT(previous, next);
    EXPECT_FALSE(t.byId("nowPlaying.previous")->onClick);
    t.click("nowPlaying.next");
    EXPECT_EQ(s.media.calls, QStringList{"next"});
}

TEST(NowPlayingCard, CoverLiftsAndTurnsUnderThePointerGlowingInTheAccentWhenAllowed) {
    CardScene s;
    auto image = [](Qt::GlobalColor c) {
        auto img = std::make_shared<QImage>(4, 4, QImage::Format_RGB32);
        img->fill(c);
        return img;
    };
    NowPlayingInfo info = track(10, 100);
    info.artwork = image(Qt::red);
    struct Look {
        QColor glow;
        double scale, turn;
    };
    auto cover = [&] {
        const Tree t = s.settled([&](const auto& c) { return nowPlayingExpandedView(c, info); });
        Look look{t.inside(Node::Kind::shadow, "nowPlaying.cover").front()->shadowColor, 1, 0};
        for (const Node* n : t.inside(Node::Kind::scale, "nowPlaying.cover")) {
            look.scale *= n->scale;
            look.turn += n->turn;
        }
        return look;
    };
    const Look idle = cover();
    EXPECT_EQ(idle.glow.rgb(), QColor(Qt::red).rgb());  // the accent comes from the artwork
    EXPECT_NEAR(idle.scale, 1.0, 0.001);

    card(s, info).byId("nowPlaying.cover")->onHover(true);
    const Look hover = cover();
    EXPECT_GT(hover.glow.alphaF(), idle.glow.alphaF());
    EXPECT_GT(hover.scale, 1.01);
    EXPECT_GT(hover.turn, 0.01);

    s.settings.glow = false;
    s.settings.accent = "orange";
    const Look dark = cover();
    EXPECT_NEAR(dark.glow.alphaF(), 0, 0.01);
    EXPECT_NEAR(dark.scale, hover.scale, 0.002);
    EXPECT_EQ(dark.glow.rgb(), QColor(Qt::red).rgb());  // a new accent waits for a new cover
    info.artwork = image(Qt::blue);
    s.settings.glow = true;
    EXPECT_EQ(cover().glow.rgb(), fixedAccentColor("orange").rgb());
}
