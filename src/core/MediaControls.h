#pragma once

namespace korvo {

/// The playback commands the island's buttons send. The now-playing service implements it and
/// the views call it, so it sits below both; views hold nothing more than this.
class MediaControls {
public:
    virtual ~MediaControls() = default;
    virtual void togglePlayPause() = 0;
    virtual void next() = 0;
    virtual void previous() = 0;
    virtual void seek(double seconds) = 0;
    virtual void setVolume(double level) = 0;
};

/// Buttons stay live but do nothing until a player is wired in.
class NoMediaControls final : public MediaControls {
public:
    void togglePlayPause() override {}
    void next() override {}
    void previous() override {}
    void seek(double) override {}
    void setVolume(double) override {}
};

}  // namespace korvo
