#include "Pieces.h"

#include "ui/style/Theme.h"

#include <array>
#include <cmath>
#include <numbers>

namespace korvo {

using namespace ui;

namespace {

// A click shows the press for this long even when the button is released at once.
constexpr double kPressBeat = 0.12;

// The equalizer bars' heights: at rest, and at the top of each bar's swing.
constexpr double kBarRest = 4;
constexpr std::array<double, 3> kBarPeaks{14, 8, 11};

// The number a text starts with ("85" of "85%", "12" of "12m left"); 0 when there is none.
double leadingNumber(const QString& s) {
    int end = 0;
    while (end < s.size() && s.at(end).isDigit()) {
        ++end;
    }
    return s.left(end).toDouble();
}

// What a transport button is called, by its glyph.
QString transportName(const QString& symbolName) {
    if (symbolName.startsWith(QLatin1String("play"))) {
        return QStringLiteral("Play");
    }
    if (symbolName.startsWith(QLatin1String("pause"))) {
        return QStringLiteral("Pause");
    }
    if (symbolName.startsWith(QLatin1String("forward"))) {
        return QStringLiteral("Next");
    }
    if (symbolName.startsWith(QLatin1String("backward"))) {
        return QStringLiteral("Previous");
    }
    return {};
}

}  // namespace

View artworkThumb(const SharedImage& image, double size) {
    const Outline corners = Outline::rounded(0.25 * size);
    if (image && !image->isNull()) {
        return ui::image(image).frame(size, size).clip(corners);
    }
    return shape(corners, Fill::solid(withAlpha(Qt::white, 0.15)))
        .frame(size, size)
        .overlay(symbol(QStringLiteral("music.note"), {0.5 * size}));
}

View equalizerBars(const ViewContext& ctx, const QString& key, QColor tint) {
    // A piece of its own: while nothing else moves, the window builds and redraws the bars alone.
    // The sine ease keeps each frame's step small at the window's slower pace for pieces.
    std::array<QString, kBarPeaks.size()> keys;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        keys[i] = key + QStringLiteral(".bar") + QString::number(i);
    }
    return piece(key,
                 [ctx, key, keys, tint] {
                     Views bars;
                     for (std::size_t i = 0; i < kBarPeaks.size(); ++i) {
                         const double h = ctx.animator.repeating(keys[i], kBarRest, kBarPeaks[i],
                                                                 0.4, static_cast<double>(i) * 0.13,
                                                                 Curve::sineInOut, key);
                         bars.push_back(roundedRectangle(1, Fill::solid(tint)).frame(3, h));
                     }
                     return hstack(2, VAlign::center, bars).frame(std::nullopt, 14);
                 })
        .accessibilityLabel(QStringLiteral("Playing"), AccessibleRole::image);
}

View controlButton(const ViewContext& ctx, const QString& id, const QString& symbolName,
                   double size, std::function<void()> action) {
    Animator& animator = ctx.animator;
    const bool pressed = ctx.interaction.isPressed(id) || animator.isPulsing(id);
    const bool hovering = ctx.interaction.isHovered(id);
    const double scale =
        animator.spring(id + QStringLiteral(".scale"), pressed ? 0.8 : (hovering ? 1.18 : 1.0),
                        Theme::microSpring, 0.001);
    const double glow = animator.spring(id + QStringLiteral(".glow"), hovering ? 0.4 : 0.0,
                                        Theme::microSpring, 0.01);
    const double side = size + 12;
    Animator* pulse = &animator;
    return symbol(symbolName, {size, Weight::bold})
        .frame(side, side)
        .scale(scale)
        .shadow(withAlpha(Qt::white, glow), 7, 0, 0)
        .onClick([pulse, id, action = std::move(action)] {
            if (action) {
                action();
            }
            pulse->pulse(id, kPressBeat);
        })
        .id(id)
        .accessibilityLabel(transportName(symbolName));
}

View transportButton(const ViewContext& ctx, const QString& id, const QString& symbolName,
                     double size, bool available, std::function<void()> action) {
    if (available) {
        return controlButton(ctx, id, symbolName, size, std::move(action));
    }
    // A control the player does not offer stays in its place, dimmed, and takes no clicks.
    constexpr double kUnavailable = 0.3;
    return symbol(symbolName, {size, Weight::bold})
        .frame(size + 12, size + 12)
        .opacity(kUnavailable)
        .id(id);
}

View rollingText(const ViewContext& ctx, const QString& slot, const QString& string, Font font,
                 QColor color, Roll roll) {
    constexpr double kTravel = 8;
    // Unit offsets carry only how far each layer has gone; the direction is chosen below, once
    // the old and the new text are both known.
    const Transition move{0.45, 0, Curve::easeOut, true, {0, 1}};
    const auto layers =
        ctx.animator.transition(slot, string, text(string, font, color).lineLimit(1), move, move);
    Views views;
    for (std::size_t i = 0; i < layers.size(); ++i) {
        const auto& layer = layers[i];
        bool down = false;  // whether this layer travels downwards
        if (roll == Roll::countdown) {
            down = true;  // the old text drops out, the new one drops in from above
        } else if (layer.leaving) {
            down = leadingNumber(string) < leadingNumber(layer.key);
        } else if (i > 0) {
            down = leadingNumber(string) < leadingNumber(layers[i - 1].key);
        }
        // Entering layers move towards 0 from their offset: from above when travelling down.
        const double sign = layer.leaving == down ? 1.0 : -1.0;
        View v(layer.node);
        if (layer.offset.y() != 0) {
            v = v.offset(0, sign * kTravel * layer.offset.y());
        }
        if (layer.opacity < 1) {
            v = v.opacity(layer.opacity);
        }
        if (layer.leaving) {
            v = v.accessibilityHidden();  // read once: the new text
        }
        views.push_back(v);
    }
    return zstack(Alignment::center(), views);
}

double bounceScale(Animator& animator, const QString& key, bool flag) {
    const double v = animator.timed(key, flag ? 1.0 : 0.0, 0.4, 0, Curve::linear);
    const double progress = flag ? v : 1 - v;  // of the latest flip; 1 once it has settled
    return progress >= 1 ? 1.0 : 1 + 0.22 * std::sin(std::numbers::pi * progress);
}

}  // namespace korvo
