#include "CardPieces.h"

#include "settings/Preferences.h"
#include "ui/style/Theme.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace korvo {

using namespace ui;

namespace {

constexpr double kSliderHeight = 14;
constexpr double kTrackHeight = 3;
constexpr double kKnobIdle = 9;
constexpr double kKnobDragging = 13;
constexpr double kSliderReach = 6;  // the pointer catches the slider this far outside it

struct SliderState {
    bool dragging = false;
};

}  // namespace

Fill elementFill(const PresentationContext& ctx) {
    const ElementFill f = Theme::elementBackground(ctx.settings);
    return f.isGradient ? Fill::verticalGradient(f.top, f.bottom) : Fill::solid(f.top);
}

View cascade(const ViewContext& ctx, const QString& key, int index, const View& view) {
    const double p = ctx.animator.entrance(QStringLiteral("cascade.") + key, 0, 1,
                                           CascadeIn::spring, CascadeIn::delay(index), 0.005);
    if (std::abs(1 - p) < 0.005) {
        return view;
    }
    const auto hidden = CascadeIn::look(false);
    View v = view;
    const double blur = hidden.blurRadius * std::clamp(1 - p, 0.0, 1.0);
    if (blur >= 0.5) {
        v = v.blur(blur);
    }
    return v.offset(0, hidden.offsetY * (1 - p)).opacity(std::clamp(p, 0.0, 1.0));
}

View islandSlider(const ViewContext& ctx, const QString& id, double value, QColor tint,
                  std::function<void(double)> onChange,
                  std::function<void(bool)> onEditingChanged) {
    auto state = ctx.animator.state<SliderState>(id);
    const double v = std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0;
    const double knob = state->dragging ? kKnobDragging : kKnobIdle;
    const View track =
        zstack(Alignment::leading(),
               {capsule(Fill::solid(withAlpha(Qt::white, 0.18))).frame(std::nullopt, kTrackHeight),
                capsule(Fill::solid(tint)).frame(std::nullopt, kTrackHeight).relativeWidth(v),
                // The knob sits at the end of the fill, centred on it.
                circle(Fill::solid(Qt::white))
                    .frame(knob, knob)
                    .shadow(withAlpha(Qt::black, 0.4), 2, 0, 1)
                    .offset(knob / 2, 0)
                    .relativeWidth(v, Alignment::trailing())})
            .frame(std::nullopt, kSliderHeight);
    // The handler reads the width the slider was given when the pointer arrives.
    const std::weak_ptr<Node> measured = track.node();
    return track.padding(kSliderReach)
        .onDrag([state, measured, change = std::move(onChange),
                 editing = std::move(onEditingChanged)](QPointF at, DragPhase phase) {
            if (phase == DragPhase::ended) {
                if (state->dragging) {
                    state->dragging = false;
                    if (editing) {
                        editing(false);
                    }
                }
                return;
            }
            if (!state->dragging) {
                state->dragging = true;
                if (editing) {
                    editing(true);
                }
            }
            const auto node = measured.lock();
            const double w = node ? node->frame.width() : 0;
            if (w > 0 && change) {
                change(std::clamp((at.x() - kSliderReach) / w, 0.0, 1.0));
            }
        })
        .id(id)
        .padding(-kSliderReach);
}

}  // namespace korvo
