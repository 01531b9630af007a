#pragma once

#include "core/MainLoop.h"
#include "platform/ScriptBridge.h"

#include <mutex>

namespace korvo {

/// A Spotify client for `korvo --demo`: a short playlist that plays on the loop's clock, moves to
/// the next track by itself, and obeys play/pause, skips, seeks and volume. Nothing else runs.
class DemoScriptBridge final : public ScriptBridge {
public:
    explicit DemoScriptBridge(MainLoop& loop);

    bool isRunning(const QString& bundleId) override;
    std::optional<ScriptResult> run(const ScriptRequest& request) override;

private:
    double positionLocked(double now);
    void skipLocked(int by, double now);

    MainLoop& m_loop;
    std::mutex m_mutex;
    int m_track = 0;
    double m_trackStart;    // the clock reading at which the track was at 0 s
    double m_pausedAt = 0;  // position while paused
    bool m_playing = true;
    int m_volume = 70;
};

}  // namespace korvo
