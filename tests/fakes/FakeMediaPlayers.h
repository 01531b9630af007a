#pragma once

#include "platform/MediaPlayers.h"

#include <QStringList>

#include <map>

namespace korvo {

/// Players the test sets up by hand; records the commands sent to them.
class FakeMediaPlayers : public MediaPlayers {
public:
    std::vector<MediaPlayer> players() const override {
        std::vector<MediaPlayer> out;
        for (const auto& [name, p] : list) {
            out.push_back(p);
        }
        return out;
    }
    Subscription observe(std::function<void()> changed) override {
        const int id = ++m_next;
        m_observers[id] = std::move(changed);
        return Subscription([this, id] { m_observers.erase(id); });
    }
    void playPause(const QString& n) override { commands << "PlayPause " + n; }
    void next(const QString& n) override { commands << "Next " + n; }
    void previous(const QString& n) override { commands << "Previous " + n; }
    void setPosition(const QString& n, const QString& track, double s) override {
        commands << QStringLiteral("SetPosition %1 %2 %3").arg(n, track).arg(s);
    }
    void setVolume(const QString& n, double level) override {
        commands << QStringLiteral("Volume %1 %2").arg(n).arg(level);
    }

    /// A playing player with every control, a track and a volume.
    static MediaPlayer player(const QString& busName, PlayerFamily family, const QString& title,
                              double length = 200) {
        MediaPlayer p;
        p.busName = busName;
        p.family = family;
        p.status = PlaybackStatus::playing;
        p.metadata.title = title;
        p.metadata.artists = {QStringLiteral("Band")};
        p.metadata.trackId = QStringLiteral("/track/") + QString::number(qHash(title));
        p.metadata.length = length;
        p.volume = 0.5;
        p.caps = {true, true, true, true, true, true};
        return p;
    }
    /// Puts (or replaces) a player and tells the observers, as a backend does after a signal.
    void put(const MediaPlayer& p) {
        list[p.busName] = p;
        changed();
    }
    void remove(const QString& busName) {
        list.erase(busName);
        changed();
    }
    void changed() {
        const auto observers = m_observers;
        for (const auto& [id, fn] : observers) {
            fn();
        }
    }

    std::map<QString, MediaPlayer> list;
    QStringList commands;

private:
    std::map<int, std::function<void()>> m_observers;
    int m_next = 0;
};

}  // namespace korvo
