#pragma once

#include "activities/Activity.h"
#include "ui/kit/View.h"
#include "ui/style/PresentationContext.h"

#include <QString>

#include <functional>

namespace korvo {

/// The expanded now-playing card: the cover (it lifts and turns under the pointer), title and
/// subtitle, the position bar that seeks once on release where the player takes a seek (for a
/// browser tab without a known length, a line saying so), the transport buttons and, where the
/// player takes one, the volume control with mute.
ui::View nowPlayingExpandedView(const PresentationContext& ctx, const NowPlayingInfo& info);

/// Whole seconds as minutes and seconds: 75 → "1:15", 3600 → "60:00".
QString timeString(double seconds);

/// The volume after the mute button, and the level it will restore: muting remembers the level;
/// unmuting brings it back, or 0.6 when none is remembered.
struct MuteToggle {
    double volume;
    double before;

    bool operator==(const MuteToggle&) const = default;
};
MuteToggle toggledMute(double volume, double before);

/// The speaker glyph for a volume level.
QString speakerSymbol(double volume);

/// The card's second line: without an artist, the source label; for a browser tab with a label,
/// "artist · label"; otherwise the artist.
QString nowPlayingCardSubtitle(const NowPlayingInfo& info);

/// The glyph that stands for the player when it offers no volume.
QString sourceSymbol(MediaSource source);

}  // namespace korvo
