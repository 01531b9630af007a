#pragma once

#include "core/MainLoop.h"
#include "platform/MediaPlayers.h"

#include <map>

namespace korvo {

/// A Spotify client for `korvo --demo`: a short playlist that plays on the loop's clock, moves to
/// the next track by itself, and obeys play/pause, skips, seeks and volume. Nothing else plays.
class DemoMediaPlayers final : public MediaPlayers {
public:
    static inline const QString kBusName = QStringLiteral("org.mpris.MediaPlayer2.spotify");

    explicit DemoMediaPlayers(MainLoop& loop);

    std::vector<MediaPlayer> players() const override;
    Subscription observe(std::function<void()> changed) override;

    void playPause(const QString& busName) override;
    void next(const QString& busName) override;
    void previous(const QString& busName) override;
    void setPosition(const QString& busName, const QString& trackId, double seconds) override;
    void setVolume(const QString& busName, double level) override;

private:
    void load(int track, double position);
    void scheduleEnd();
    void changed();

    MainLoop& m_loop;
    MediaPlayer m_player;
    int m_track = 0;
    TaskHandle m_end;
    std::map<unsigned long long, std::function<void()>> m_observers;
    unsigned long long m_nextObserver = 0;
    std::shared_ptr<char> m_alive = std::make_shared<char>(0);
};

}  // namespace korvo
