#pragma once

namespace korvo {

/// A damped spring given by response (seconds) and damping fraction, at unit mass:
/// stiffness (2π/response)², damping 4π·ζ/response.
struct Spring {
    double response = 0.5;
    double dampingFraction = 0.8;
    double blendDuration = 0;

    double stiffness() const;
    double damping() const;

    struct State {
        double displacement;  // from the target
        double velocity;
    };
    /// Where a spring that starts `displacement` away from its target with `velocity` is after
    /// `t` seconds. Closed form, so any frame rate gives the same path.
    State evolve(double displacement, double velocity, double t) const;

    /// Fraction of the way from start to target after `t` seconds, starting at rest (0 → 1).
    double stepResponse(double t) const;

    /// Settled when both the remaining distance and the speed are negligible for a move of
    /// `scale` units (the default suits moves measured in points).
    static bool isSettled(State s, double scale = 1.0);

    /// First time after which the step response stays within `tolerance` of the target.
    double settlingTime(double tolerance = 0.001) const;
    /// Largest overshoot past the target of the step response, as a fraction (0 when none).
    double overshoot() const;

    bool operator==(const Spring&) const = default;
};

/// The springs shared by the view model and the theme.
namespace springs {
inline constexpr Spring hidden{0.32, 0.86, 0};
inline constexpr Spring compact{0.38, 0.74, 0};
inline constexpr Spring medium{0.42, 0.68, 0};
inline constexpr Spring expanded{0.52, 0.64, 0};
inline constexpr Spring hud{0.55, 0.68, 0};

inline constexpr Spring micro{0.25, 0.6, 0};
inline constexpr Spring carousel{0.42, 0.82, 0};
inline constexpr Spring cascade{0.5, 0.78, 0};
}  // namespace springs

}  // namespace korvo
