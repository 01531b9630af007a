#include "NowPlayingExpandedView.h"

#include "settings/AccentColors.h"
#include "settings/Preferences.h"
#include "ui/cards/CardPieces.h"
#include "ui/style/Pieces.h"
#include "ui/style/Theme.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <numbers>

namespace korvo {

using namespace ui;

namespace {

constexpr double kCoverSize = 50;
constexpr double kCoverTurn = 4 * std::numbers::pi / 180;  // radians
constexpr double kVolumeSendInterval = 0.15;               // seconds between sends while dragging
constexpr double kDefaultVolume = 0.7;
constexpr double kUnmuteFallback = 0.6;

// A tab whose media session gives no length (a live stream, or a page that never says) has no
// position to show or seek.
const QString kNoLengthHint =
    QStringLiteral("This tab reports no length, so there is nothing to seek.");

// What the card remembers while it stays on screen; it starts afresh each time it comes back.
struct CardState {
    bool scrubbing = false;
    double scrubValue = 0;
    QColor accent = Qt::white;
    double volume = kDefaultVolume;
    bool adjustingVolume = false;
    double lastVolumeSend = -std::numeric_limits<double>::infinity();
    double volumeBeforeMute = kDefaultVolume;
    bool artworkHover = false;

    bool onScreen = false;             // the appearance handler has run
    std::optional<double> seenVolume;  // the player's volume last looked at
    SharedImage accentArtwork;         // the cover the accent was taken from
};

QColor resolvedAccent(const PresentationContext& ctx, const SharedImage& artwork) {
    const QString mode = ctx.settings.accentMode();
    if (mode == QLatin1String("adaptive")) {
        return Theme::accent(artwork.get());
    }
    return fixedAccentColor(mode);
}

// The appearance handler and the follow-ups of a new reading.
void follow(CardState& s, const PresentationContext& ctx, const NowPlayingInfo& info) {
    if (!s.onScreen) {
        s.onScreen = true;
        s.accent = resolvedAccent(ctx, info.artwork);
        s.accentArtwork = info.artwork;
        if (info.volume) {
            s.volume = *info.volume;
        }
        s.seenVolume = info.volume;
        return;
    }
    if (info.artwork != s.accentArtwork) {
        s.accent = resolvedAccent(ctx, info.artwork);
        s.accentArtwork = info.artwork;
    }
    if (info.volume != s.seenVolume) {
        s.seenVolume = info.volume;
        // A reading that arrives during a drag must not pull the knob from under the pointer.
        if (info.volume && !s.adjustingVolume) {
            s.volume = *info.volume;
        }
    }
}

View cover(const PresentationContext& ctx, const std::shared_ptr<CardState>& s,
           const NowPlayingInfo& info) {
    Animator& a = ctx.ui.animator;
    const bool hover = s->artworkHover;
    const bool glowOn = ctx.settings.artworkGlow();
    const double glow = a.spring(QStringLiteral("nowPlaying.cover.glow"),
                                 glowOn ? (hover ? 0.55 : 0.35) : 0.0, Theme::microSpring, 0.01);
    const double radius = a.spring(QStringLiteral("nowPlaying.cover.radius"), hover ? 12 : 8,
                                   Theme::microSpring, 0.1);
    const double scale = a.spring(QStringLiteral("nowPlaying.cover.scale"), hover ? 1.08 : 1.0,
                                  Theme::microSpring, 0.001);
    const double turn = a.spring(QStringLiteral("nowPlaying.cover.turn"), hover ? kCoverTurn : 0,
                                 Theme::microSpring, 0.001);
    return artworkThumb(info.artwork, kCoverSize)
        .shadow(withAlpha(s->accent, glow), radius, 0, 2)
        .scale(scale)
        .turn(turn)
        .onHover([s](bool inside) { s->artworkHover = inside; })
        .id(QStringLiteral("nowPlaying.cover"));
}

View header(const PresentationContext& ctx, const std::shared_ptr<CardState>& s,
            const NowPlayingInfo& info) {
    Views row{
        cover(ctx, s, info),
        vstack(2, HAlign::leading,
               {text(info.title, {13.5, Weight::bold}).lineLimit(1),
                text(nowPlayingCardSubtitle(info), {11, Weight::medium}, Theme::secondaryText())
                    .lineLimit(1)}),
        spacer(10)};
    if (info.isPlaying) {
        row.push_back(equalizerBars(ctx.ui, QStringLiteral("nowPlaying.bars"), s->accent));
    }
    return hstack(12, VAlign::center, row).id(QStringLiteral("nowPlaying.trackRow"));
}

// The position where the player does not take a seek: the same line, without a knob.
View progressBar(double value, QColor tint) {
    const double v = std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0;
    return zstack(Alignment::leading(),
                  {capsule(Fill::solid(withAlpha(Qt::white, 0.18))).frame(std::nullopt, 3),
                   capsule(Fill::solid(tint)).frame(std::nullopt, 3).relativeWidth(v)})
        .frame(std::nullopt, 14)
        .id(QStringLiteral("nowPlaying.progress"));
}

View positionRow(const PresentationContext& ctx, const std::shared_ptr<CardState>& s,
                 const NowPlayingInfo& info) {
    const Font font{9.5, Weight::regular, true};
    const QColor dim = Theme::secondaryText();
    const double p = s->scrubbing ? s->scrubValue : info.elapsed;
    const double span = std::max(info.duration, 1.0);
    // The time counts up with a roll as playback moves; under the finger it follows at once.
    const View elapsed = s->scrubbing ? text(timeString(p), font, dim).lineLimit(1)
                                      : rollingText(ctx.ui, QStringLiteral("nowPlaying.elapsed"),
                                                    timeString(p), font, dim, Roll::byValue);
    MediaControls* media = &ctx.media();
    // Readers seek in steps of 5 s; the seek goes out at once, as on a release. A player that
    // can't seek shows its progress alone, read as a plain value.
    const View slider =
        info.canSeek
            ? islandSlider(
                  ctx.ui, QStringLiteral("nowPlaying.position"), p / span,
                  withAlpha(s->accent, 0.95),
                  [s, span](double fraction) { s->scrubValue = fraction * span; },
                  [s, media](bool editing) {
                      s->scrubbing = editing;
                      if (!editing) {
                          media->seek(s->scrubValue);
                      }
                  })
                  .accessibility({.role = AccessibleRole::slider,
                                  .name = QStringLiteral("Position"),
                                  .value = p,
                                  .maximum = info.duration,
                                  .step = 5,
                                  .valueText = timeString(p) + QStringLiteral(" of ") +
                                               timeString(info.duration),
                                  .setValue = [media](double seconds) { media->seek(seconds); }})
            : progressBar(p / span, withAlpha(s->accent, 0.95));
    return hstack(
               10, VAlign::center,
               {elapsed, slider,
                text(QStringLiteral("-") + timeString(std::max(0.0, info.duration - p)), font, dim)
                    .lineLimit(1)})
        .id(QStringLiteral("nowPlaying.positionRow"));
}

}  // namespace

namespace {

void toggleMute(CardState& s, MediaControls& media) {
    const MuteToggle next = toggledMute(s.volume, s.volumeBeforeMute);
    s.volume = next.volume;
    s.volumeBeforeMute = next.before;
    media.setVolume(s.volume);  // at once: a click is not a drag
}

View volumeControl(const PresentationContext& ctx, const std::shared_ptr<CardState>& s) {
    MediaControls* media = &ctx.media();
    Animator* clock = &ctx.ui.animator;
    const View mute = symbol(speakerSymbol(s->volume), {10}, Theme::secondaryText())
                          .frame(16, std::nullopt, Alignment::trailing())
                          .onClick([s, media] { toggleMute(*s, *media); })
                          .id(QStringLiteral("nowPlaying.mute"));
    const View slider = islandSlider(
        ctx.ui, QStringLiteral("nowPlaying.volume"), s->volume, withAlpha(s->accent, 0.8),
        [s, media, clock](double level) {
            s->volume = level;
            const double now = clock->clockNow();
            if (now - s->lastVolumeSend > kVolumeSendInterval) {
                s->lastVolumeSend = now;
                media->setVolume(level);
            }
        },
        [s, media](bool editing) {
            s->adjustingVolume = editing;
            if (!editing) {
                media->setVolume(s->volume);  // the final level, whatever the throttle held back
            }
        });
    // Readers set the level in whole percent, 5 at a step, sent at once.
    const double percent = std::round(s->volume * 100);
    const View readable =
        slider.accessibility({.role = AccessibleRole::slider,
                              .name = QStringLiteral("Volume"),
                              .value = percent,
                              .maximum = 100,
                              .step = 5,
                              .valueText = QString::number(percent) + QStringLiteral(" %"),
                              .setValue = [s, media](double level) {
                                  s->volume = std::clamp(level / 100, 0.0, 1.0);
                                  media->setVolume(s->volume);
                              }});
    // The mute button is named for what a press does next.
    const View muteButton =
        mute.accessibilityLabel(s->volume > 0 ? QStringLiteral("Mute") : QStringLiteral("Unmute"));
    return hstack(5, VAlign::center, {muteButton, readable.frame(90, std::nullopt)});
}

View transportRow(const PresentationContext& ctx, const std::shared_ptr<CardState>& s,
                  const NowPlayingInfo& info) {
    MediaControls* media = &ctx.media();
    const View buttons =
        hstack(30, VAlign::center,
               {transportButton(ctx.ui, QStringLiteral("nowPlaying.previous"),
                                QStringLiteral("backward.fill"), 15, info.canGoPrevious,
                                [media] { media->previous(); }),
                // The glyph swells as play turns to pause and back.
                transportButton(
                    ctx.ui, QStringLiteral("nowPlaying.playPause"),
                    info.isPlaying ? QStringLiteral("pause.fill") : QStringLiteral("play.fill"), 20,
                    info.canPlayPause, [media] { media->togglePlayPause(); })
                    .scale(bounceScale(ctx.ui.animator, QStringLiteral("nowPlaying.playPause.swap"),
                                       info.isPlaying)),
                transportButton(ctx.ui, QStringLiteral("nowPlaying.next"),
                                QStringLiteral("forward.fill"), 15, info.canGoNext,
                                [media] { media->next(); })})
            .maxWidth();
    const View trailing = info.volume && info.canSetVolume
                              ? volumeControl(ctx, s)
                              : symbol(sourceSymbol(info.sourceApp), {12}, Theme::secondaryText());
    return buttons.overlay(trailing, Alignment::trailing())
        .id(QStringLiteral("nowPlaying.transport"));
}

}  // namespace

QString timeString(double seconds) {
    if (!std::isfinite(seconds)) {
        return QStringLiteral("0:00");
    }
    const auto n = static_cast<long long>(seconds);  // truncates toward zero
    char buf[32];
    std::snprintf(buf, sizeof buf, "%lld:%02lld", n / 60, n - 60 * (n / 60));
    return QString::fromLatin1(buf);
}

MuteToggle toggledMute(double volume, double before) {
    if (volume > 0) {
        return {0, volume};
    }
    return {before > 0 ? before : kUnmuteFallback, before};
}

QString speakerSymbol(double volume) {
    if (volume == 0) {
        return QStringLiteral("speaker.slash.fill");
    }
    if (volume < 0.34) {
        return QStringLiteral("speaker.wave.1.fill");
    }
    return volume < 0.67 ? QStringLiteral("speaker.wave.2.fill")
                         : QStringLiteral("speaker.wave.3.fill");
}

QString nowPlayingCardSubtitle(const NowPlayingInfo& info) {
    if (info.artist.isEmpty()) {
        return info.sourceLabel.value_or(QString());
    }
    if (info.sourceApp == MediaSource::browser && info.sourceLabel &&
        !info.sourceLabel->isEmpty()) {
        return info.artist + QStringLiteral(" · ") + *info.sourceLabel;
    }
    return info.artist;
}

QString sourceSymbol(MediaSource source) {
    switch (source) {
        case MediaSource::spotify:
            return QStringLiteral("s.circle.fill");
        case MediaSource::player:
            return QStringLiteral("play.circle.fill");
        case MediaSource::browser:
            return QStringLiteral("globe");
        case MediaSource::unknown:
            break;
    }
    return QStringLiteral("waveform");
}

View nowPlayingExpandedView(const PresentationContext& ctx, const NowPlayingInfo& info) {
    auto s = ctx.ui.animator.state<CardState>(QStringLiteral("nowPlaying.card"));
    follow(*s, ctx, info);
    const ViewContext& ui = ctx.ui;
    Views rows{cascade(ui, QStringLiteral("nowPlaying.header"), 0, header(ctx, s, info))};
    double spacing = 10;
    if (info.duration > 0) {
        rows.push_back(
            cascade(ui, QStringLiteral("nowPlaying.position"), 1, positionRow(ctx, s, info)));
    } else if (info.sourceApp == MediaSource::browser) {
        rows.push_back(text(kNoLengthHint, {8.5}, withAlpha(Qt::white, 0.6 * 0.8))
                           .lineLimit(1)
                           .id(QStringLiteral("nowPlaying.hint")));
        spacing = 6;
    }
    rows.push_back(
        cascade(ui, QStringLiteral("nowPlaying.transport"), 2, transportRow(ctx, s, info)));
    return vstack(spacing, HAlign::center, rows).id(QStringLiteral("card.nowPlaying"));
}

}  // namespace korvo
