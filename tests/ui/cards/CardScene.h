#pragma once

#include "core/VirtualLoop.h"
#include "fakes/PlainPreferences.h"
#include "ui/ViewTree.h"
#include "ui/island/Presentations.h"
#include "ui/kit/Layout.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace korvo::cardtest {

using Tree = test::ViewTree;
using test::RecordingMedia;

// Cards on a virtual clock (10:00 local), with their feeds, recorded commands and settings.
struct CardScene {
    VirtualLoop loop{QDateTime(QDate(2026, 3, 4), QTime(10, 0))};
    test::PlainViewPreferences settings;
    ui::Animator animator{[this] { return loop.monotonicNow(); }};
    ui::Interaction interaction;
    RecordingMedia media;
    QList<QUrl> opened;
    std::vector<CalendarEventInfo> upcoming;
    std::vector<ClipboardEntry> history;
    QList<QUuid> copied;
    StatsSnapshot stats;
    std::vector<double> cpuHistory;
    int viewers = 0;
    IslandServices services;

    CardScene() {
        services.media = &media;
        services.openURL = [this](const QUrl& u) { opened << u; };
        services.calendar.upcoming = [this] { return upcoming; };
        services.clipboard.history = [this] { return history; };
        services.clipboard.copy = [this](const ClipboardEntry& e) { copied << e.id; };
        services.stats.snapshot = [this] { return stats; };
        services.stats.cpuHistory = [this] { return cpuHistory; };
        services.stats.addViewer = [this] { ++viewers; };
        services.stats.removeViewer = [this] { --viewers; };
    }

    QDateTime now() const { return loop.wallNow(); }

    // One frame of `build`, laid out in `size`.
    Tree frame(const std::function<ui::View(const PresentationContext&)>& build,
               QSizeF size = {390, 140}) {
        animator.beginFrame();
        ui::View v = build({{animator, interaction}, loop.wallNow(), services, settings});
        animator.endFrame();
        ui::layout(*v.node(), size);
        return Tree(v);
    }
    // A frame built, then the clock moved past the entrances, then the frame again.
    Tree settled(const std::function<ui::View(const PresentationContext&)>& build,
                 QSizeF size = {390, 140}) {
        frame(build, size);
        loop.advance(2);
        return frame(build, size);
    }
};

}  // namespace korvo::cardtest
