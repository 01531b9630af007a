// What a screen reader finds in the island the real views build, frame after frame.
#include "ui/island/IslandRootView.h"

#include "core/EngineScene.h"
#include "fakes/PlainPreferences.h"
#include "ui/A11yItems.h"
#include "ui/ViewTree.h"
#include "ui/kit/Accessibility.h"
#include "ui/kit/Layout.h"
#include "ui/style/IslandMetrics.h"

#include <gtest/gtest.h>

using namespace korvo;
using namespace korvo::ui;
using a11y::Change;
using a11y::Item;

namespace {

using test::named;
using test::names;
using test::RecordingMedia;

NowPlayingInfo song(bool playing = true) {
    NowPlayingInfo t;
    t.title = "Midnight City";
    t.artist = "Night Drive";
    t.isPlaying = playing;
    t.duration = 240;
    t.elapsed = 75;
    t.volume = 0.5;
    t.canPlayPause = t.canGoNext = t.canGoPrevious = t.canSeek = t.canSetVolume = true;
    return t;
}

class IslandReader : public test::EngineScene {
protected:
    IslandReader()
        : viewModel(loop, engine, settings, log, NotchGeometry{180, 32, false}),
          animator([this] { return loop.monotonicNow(); }),
          root(viewModel, engine, settings, loop, animator, interaction, {},
               IslandServices{&media, {}, {}, {}, {}, {}}) {
        loop.runUntilIdle();
    }

    void play(const NowPlayingInfo& info, bool update = false) {
        Activity a = test::activity("nowplaying.system", info, Activity::Kind::nowPlaying);
        post(update ? IslandEvent(ActivityUpdated{a}) : IslandEvent(ActivityStarted{a}));
    }
    // One frame as the window draws it: build, lay out, read. The tree stays alive with the
    // items, as the window keeps its latest tree.
    std::vector<Item> frame() {
        animator.beginFrame();
        tree = root.build().node();
        animator.endFrame();
        layout(*tree, {kPanelWidth, kPanelHeight});
        return a11y::collect(*tree);
    }
    // Frames 1/25 s apart until everything but the bars has settled.
    std::vector<Item> settle() {
        for (int i = 0; i < 60; ++i) {
            frame();
            loop.advance(0.04);
        }
        return frame();
    }

    test::PlainWindowPreferences settings;
    IslandViewModel viewModel;
    Animator animator;
    Interaction interaction;
    RecordingMedia media;
    IslandRootView root;
    NodePtr tree;
};

}  // namespace

TEST_F(IslandReader, EachPresentationOfATrackReadsWhatItShows) {
    play(song());
    EXPECT_EQ(names(settle()), (QStringList{"Island", "Midnight City — Night Drive", "Playing"}));
    viewModel.state.set(IslandState::medium);
    EXPECT_EQ(names(settle()),
              (QStringList{"Island", "Midnight City", "Night Drive", "Pause", "Next", "Playing"}));
    viewModel.expand();
    const auto items = settle();
    EXPECT_EQ(names(items), (QStringList{"Island", "Now Playing", "Midnight City", "Night Drive",
                                         "Playing", "1:15", "Position", "-2:45", "Previous",
                                         "Pause", "Next", "Mute", "Volume"}));
    EXPECT_EQ(items[0].role, AccessibleRole::group);
    EXPECT_EQ(items[0].description, "Expanded");
    for (std::size_t i = 1; i < items.size(); ++i) {
        EXPECT_EQ(items[i].parent, 0) << items[i].name.toStdString();
        // Everything a reader can reach lies inside the island.
        EXPECT_TRUE(items[0].rect.contains(items[i].rect)) << items[i].name.toStdString();
    }
    const Item& position = named(items, "Position");
    EXPECT_EQ(position.role, AccessibleRole::slider);
    EXPECT_EQ(position.value, 75);
    EXPECT_EQ(position.maximum, 240);
    EXPECT_EQ(position.valueText, "1:15 of 4:00");
    EXPECT_EQ(named(items, "Volume").valueText, "50 %");

    // A paused track without a length: no bars, a play button, no position.
    NowPlayingInfo paused = song(false);
    paused.duration = 0;
    play(paused, true);
    const auto still = settle();
    EXPECT_FALSE(names(still).contains("Playing"));
    EXPECT_FALSE(names(still).contains("Position"));
    EXPECT_TRUE(names(still).contains("Play"));
}

TEST_F(IslandReader, ButtonsAndSlidersActThroughTheReader) {
    play(song());
    viewModel.expand();
    const auto items = settle();
    EXPECT_TRUE(a11y::press(named(items, "Pause")));
    EXPECT_TRUE(a11y::press(named(items, "Next")));
    EXPECT_TRUE(a11y::press(named(items, "Previous")));
    EXPECT_TRUE(a11y::stepValue(named(items, "Position"), 1));
    EXPECT_TRUE(a11y::stepValue(named(items, "Volume"), -1));
    EXPECT_TRUE(a11y::setValue(named(items, "Position"), 1000));  // past the end: the end
    EXPECT_EQ(media.calls,
              (QStringList{"toggle", "next", "previous", "seek 80", "volume 0.45", "seek 240"}));
    // The mute button is named for what it does next, and the volume slider follows it.
    EXPECT_TRUE(a11y::press(named(items, "Mute")));
    const auto muted = frame();
    EXPECT_EQ(named(muted, "Volume").value, 0);
    EXPECT_TRUE(names(muted).contains("Unmute"));
    // Pressing the island itself closes it.
    EXPECT_TRUE(a11y::press(named(muted, "Island")));
    loop.runUntilIdle();
    EXPECT_EQ(viewModel.state.get(), IslandState::compact);
}

TEST_F(IslandReader, MovementSaysNothingATrackChangeIsARenameAndAPauseSwapsOneButton) {
    play(song());
    viewModel.expand();
    auto last = settle();
    const auto before = last;
    // The bars swing on every frame; the pointer grows a button with a spring.
    interaction.setHovered({"nowPlaying.next"});
    for (int i = 0; i < 30; ++i) {
        loop.advance(0.04);
        const auto now = frame();
        EXPECT_TRUE(a11y::diff(last, now).empty()) << "frame " << i;
        last = now;
    }
    EXPECT_FALSE(animator.isSettled());  // the bars were moving all along

    NowPlayingInfo next = song();
    next.title = "Daybreak";
    play(next, true);
    const auto renamed = frame();
    EXPECT_EQ(
        a11y::diff(last, renamed),
        (std::vector<Change>{{Change::Type::nameChanged, named(before, "Midnight City").key}}));
    next.isPlaying = false;
    play(next, true);
    const auto paused = frame();
    EXPECT_EQ(a11y::diff(renamed, paused),
              (std::vector<Change>{{Change::Type::destroyed, named(renamed, "Playing").key},
                                   {Change::Type::nameChanged, named(renamed, "Pause").key}}));
    EXPECT_EQ(named(paused, "Play").key, named(renamed, "Pause").key);
    EXPECT_TRUE(a11y::diff(paused, settle()).empty());
}

TEST_F(IslandReader, OpeningTheIslandReadsTheNewContentOnceAndThenRests) {
    play(song());
    const auto compact = settle();
    viewModel.expand();
    bool sawCard = false;
    auto last = compact;
    for (int i = 0; i < 40; ++i) {
        loop.advance(0.04);
        const auto now = frame();
        // While one content fades into the other, nothing is there twice.
        QStringList seen = names(now);
        seen.removeDuplicates();
        EXPECT_EQ(seen.size(), static_cast<qsizetype>(now.size()))
            << names(now).join("|").toStdString();
        sawCard = sawCard || seen.contains("Previous");
        last = now;
    }
    EXPECT_TRUE(sawCard);
    const auto changes = a11y::diff(compact, last);
    auto count = [&](Change::Type t) {
        return std::count_if(changes.begin(), changes.end(),
                             [t](const Change& c) { return c.type == t; });
    };
    // The compact cover and bars leave; everything in the card but the island itself is new.
    EXPECT_EQ(count(Change::Type::destroyed), 2);
    EXPECT_EQ(count(Change::Type::created), static_cast<long>(last.size()) - 1);
    EXPECT_TRUE(a11y::diff(last, settle()).empty());
}

TEST_F(IslandReader, WhileContentIsReplacedOnlyTheNewIsRead) {
    play(song());
    viewModel.expand();
    const auto before = settle();
    // The elapsed time rolls from one second to the next: one text renamed in place.
    NowPlayingInfo later = song();
    later.elapsed = 76;
    play(later, true);
    frame();
    loop.advance(0.2);  // halfway through the roll
    const auto rolling = frame();
    EXPECT_TRUE(names(rolling).contains("1:16"));
    EXPECT_FALSE(names(rolling).contains("1:15"));
    for (const Change& c : a11y::diff(before, rolling)) {
        EXPECT_NE(c.type, Change::Type::created) << c.key.toStdString();
        EXPECT_NE(c.type, Change::Type::destroyed) << c.key.toStdString();
    }
    settle();

    // Another activity takes the focus: its card fades in while the track's fades out.
    start(test::activity("build",
                         GenericPayload{"hammer.fill", "Build", QStringLiteral("Compiling"), 0.5},
                         Activity::Kind::build, 1));
    frame();
    loop.advance(0.09);
    const auto crossing = frame();
    EXPECT_TRUE(names(crossing).contains("Build"));
    EXPECT_FALSE(names(crossing).contains("Midnight City"));
}

TEST_F(IslandReader, ToastsAreAlertsWithTitleAndSubtitle) {
    play(song());
    const auto before = settle();
    toast("Charging", 10, ActivityPriority::normal, "bolt.fill", QStringLiteral("85%"));
    const auto medium = settle();
    const Item& toast = named(medium, "Charging");
    EXPECT_EQ(toast.role, AccessibleRole::alert);
    EXPECT_EQ(toast.description, "85%");
    const auto changes = a11y::diff(before, medium);
    EXPECT_NE(std::find(changes.begin(), changes.end(), Change{Change::Type::alert, toast.key}),
              changes.end());
    EXPECT_FALSE(names(medium).contains("85%"));  // said once, as part of the alert

    // Over an open card the same toast is the pill, an alert as well.
    viewModel.expand();
    const auto expanded = settle();
    EXPECT_EQ(named(expanded, "Charging").role, AccessibleRole::alert);
    EXPECT_EQ(named(expanded, "Charging").description, "85%");
}
