#pragma once

#include "core/ActivityEngine.h"
#include "core/VirtualLoop.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace korvo::test {

// An activity as a provider posts it, started `minute` minutes after 10:00 on 2 March 2026.
inline Activity activity(const QString& id, ActivityPayload payload = SystemStatsPayload{},
                         Activity::Kind kind = Activity::Kind::custom, int minute = 0,
                         ActivityPriority priority = ActivityPriority::normal) {
    Activity a;
    a.id = id;
    a.kind = kind;
    a.priority = priority;
    a.startedAt = QDateTime(QDate(2026, 3, 2), QTime(10, minute), Qt::UTC);
    a.payload = std::move(payload);
    return a;
}

// A build the island shows compact, started at `at`.
inline Activity buildJob(const QDateTime& at) {
    Activity a =
        activity(QStringLiteral("job"),
                 GenericPayload{QStringLiteral("star.fill"), QStringLiteral("Build"), {}, 0.5},
                 Activity::Kind::build);
    a.startedAt = at;
    return a;
}

// A track of four minutes by one band, playing or paused, as the now-playing service reports it.
inline Activity nowPlaying(const QDateTime& at, double elapsed, bool playing = true,
                           SharedImage artwork = {}) {
    NowPlayingInfo track;
    track.title = QStringLiteral("Midnight City");
    track.artist = QStringLiteral("Night Drive");
    track.isPlaying = playing;
    track.duration = 240;
    track.elapsed = elapsed;
    track.artwork = std::move(artwork);
    Activity a = activity(QStringLiteral("nowplaying.system"), track, Activity::Kind::nowPlaying);
    a.startedAt = at;
    return a;
}

// The engine on the virtual clock, started, with a debug log of its own.
class EngineScene : public ::testing::Test {
protected:
    EngineScene() { engine.start(); }

    // An event as a provider posts it, handled before this returns.
    void post(IslandEvent e) {
        bus.post(std::move(e));
        loop.runUntilIdle();
    }
    void start(const Activity& a) { post(ActivityStarted{a}); }
    void toast(const QString& title, double duration,
               ActivityPriority priority = ActivityPriority::normal,
               const QString& icon = QStringLiteral("bell"),
               std::optional<QString> subtitle = std::nullopt) {
        post(TransientNotification::make(icon, title, std::move(subtitle), duration, priority));
    }
    QString focusedId() const { return engine.focused.get() ? engine.focused.get()->id : "-"; }
    QStringList ids() const {
        QStringList out;
        for (const auto& a : engine.activities.get()) {
            out << a.id;
        }
        return out;
    }
    QStringList toastTitles() const {
        QStringList out;
        for (const auto& t : engine.toastQueue.get()) {
            out << t.title;
        }
        return out;
    }
    // The messages written to the debug log, after their time stamps.
    QStringList logged(const QString& from) const {
        QFile f(log.path());
        QStringList out;
        for (const auto& line : QString::fromUtf8(f.open(QIODevice::ReadOnly) ? f.readAll() : "")
                                    .split('\n', Qt::SkipEmptyParts)) {
            if (line.contains(from)) {
                out << line.mid(line.indexOf(from));
            }
        }
        return out;
    }

    QTemporaryDir dir;
    VirtualLoop loop;
    EventBus bus{loop};
    DebugLog log{dir.filePath("debug.log")};
    ActivityEngine engine{loop, bus, log};
};

}  // namespace korvo::test
