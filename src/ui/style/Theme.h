#pragma once

#include "core/Spring.h"

#include <QColor>

class QImage;

namespace korvo {

class ViewPreferences;

/// The fill behind inner elements (tiles, buttons): one colour, or a top-to-bottom gradient.
struct ElementFill {
    QColor top;
    QColor bottom;
    bool isGradient = false;

    bool operator==(const ElementFill&) const = default;
};

/// The few visual constants every island view shares.
class Theme {
public:
    Theme() = delete;

    static QColor islandColor();
    static QColor secondaryText();

    static constexpr Spring microSpring = springs::micro;
    static constexpr Spring carouselSpring = springs::carousel;
    static constexpr Spring cascadeSpring = springs::cascade;

    /// Follows `islandStyle`, read at each call so a change shows at the next redraw.
    static ElementFill elementBackground(const ViewPreferences& settings);

    /// A lively colour taken from artwork: the image's average colour, made more saturated and
    /// never darker than 0.72 brightness so it reads on black. White without an image.
    static QColor accent(const QImage* image);
};

/// The entrance of rows and tiles that appear one after another: each fades in, rises 10 pt and
/// sharpens from a 5 pt blur, a little later than the one before.
struct CascadeIn {
    static constexpr double kStagger = 0.055;
    static constexpr double kHiddenOffsetY = 10;
    static constexpr double kHiddenBlur = 5;
    static constexpr Spring spring = springs::cascade;

    struct Look {
        double opacity;
        double offsetY;  // points, downwards
        double blurRadius;
    };

    /// Seconds after the view appears at which the element at `index` starts moving.
    static double delay(int index) { return index * kStagger; }
    static Look look(bool shown) {
        return shown ? Look{1, 0, 0} : Look{0, kHiddenOffsetY, kHiddenBlur};
    }
};

}  // namespace korvo
