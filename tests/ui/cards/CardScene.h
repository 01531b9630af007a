#pragma once

#include "core/VirtualLoop.h"
#include "fakes/PlainPreferences.h"
#include "ui/island/Presentations.h"
#include "ui/kit/Layout.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace korvo::cardtest {

struct RecordingMedia : MediaControls {
    std::vector<double> seeks;
    std::vector<double> volumes;
    QStringList calls;
    void togglePlayPause() override { calls << "toggle"; }
    void next() override { calls << "next"; }
    void previous() override { calls << "previous"; }
    void seek(double s) override { seeks.push_back(s); }
    void setVolume(double v) override { volumes.push_back(v); }
};

// A laid-out card, flattened, with the opacity each node is drawn at.
struct Tree {
    ui::View view;
    std::vector<std::pair<const ui::Node*, double>> all;

    explicit Tree(ui::View v) : view(std::move(v)) { walk(*view.node(), 1); }
    void walk(const ui::Node& n, double o) {
        all.emplace_back(&n, o);
        o *= n.kind == ui::Node::Kind::opacity ? n.opacity : 1;
        for (const auto& c : n.children) {
            walk(*c, o);
        }
    }
    // The text or symbol drawing `s`, and the opacity it is drawn at.
    const ui::Node* glyph(const QString& s, double* opacity = nullptr) const {
        for (const auto& [n, o] : all) {
            if ((n->kind == ui::Node::Kind::text || n->kind == ui::Node::Kind::symbol) &&
                n->text == s) {
                if (opacity) {
                    *opacity = o;
                }
                return n;
            }
        }
        return nullptr;
    }
    bool draws(const QString& s) const { return glyph(s) != nullptr; }
    int count(const QString& s) const {
        return static_cast<int>(std::count_if(all.begin(), all.end(), [&](const auto& e) {
            return e.first->kind == ui::Node::Kind::text && e.first->text == s;
        }));
    }
    const ui::Node* byId(const QString& id) const { return ui::findById(*view.node(), id); }
    // Nodes of `kind` inside the node named `id` (or the whole tree).
    std::vector<const ui::Node*> inside(ui::Node::Kind kind, const QString& id = {}) const {
        std::vector<const ui::Node*> out;
        std::function<void(const ui::Node&)> visit = [&](const ui::Node& n) {
            if (n.kind == kind) {
                out.push_back(&n);
            }
            for (const auto& c : n.children) {
                visit(*c);
            }
        };
        if (const ui::Node* root = id.isEmpty() ? view.node().get() : byId(id)) {
            visit(*root);
        }
        return out;
    }
    void click(const QString& id) const {
        const ui::Node* n = byId(id);
        ASSERT_TRUE(n && n->onClick) << "no button " << id.toStdString();
        n->onClick();
    }
};

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
