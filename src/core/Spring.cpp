#include "Spring.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace korvo {

namespace {
constexpr double kTwoPi = 2.0 * std::numbers::pi;
}

double Spring::stiffness() const {
    const double w = kTwoPi / response;
    return w * w;
}

double Spring::damping() const {
    return 4.0 * std::numbers::pi * dampingFraction / response;
}

Spring::State Spring::evolve(double x0, double v0, double t) const {
    if (response <= 0) {
        return {0, 0};
    }
    const double w0 = kTwoPi / response;
    const double z = dampingFraction;
    if (z < 1.0) {
        const double wd = w0 * std::sqrt(1.0 - z * z);
        const double decay = std::exp(-z * w0 * t);
        const double a = x0;
        const double b = (v0 + z * w0 * x0) / wd;
        const double c = std::cos(wd * t);
        const double s = std::sin(wd * t);
        const double x = decay * (a * c + b * s);
        const double v = decay * ((-z * w0) * (a * c + b * s) + (-a * wd * s + b * wd * c));
        return {x, v};
    }
    if (z == 1.0) {
        const double decay = std::exp(-w0 * t);
        const double b = v0 + w0 * x0;
        const double x = decay * (x0 + b * t);
        const double v = decay * (b - w0 * (x0 + b * t));
        return {x, v};
    }
    const double root = w0 * std::sqrt(z * z - 1.0);
    const double r1 = -z * w0 + root;
    const double r2 = -z * w0 - root;
    const double c2 = (v0 - r1 * x0) / (r2 - r1);
    const double c1 = x0 - c2;
    const double e1 = std::exp(r1 * t);
    const double e2 = std::exp(r2 * t);
    return {c1 * e1 + c2 * e2, c1 * r1 * e1 + c2 * r2 * e2};
}

double Spring::stepResponse(double t) const {
    return 1.0 - evolve(1.0, 0.0, t).displacement;
}

bool Spring::isSettled(State s, double scale) {
    // Half a device pixel at scale 2 for point-sized moves, and a speed that covers less than
    // that within a frame.
    const double eps = 0.25 * scale;
    return std::abs(s.displacement) < eps && std::abs(s.velocity) < eps * 60.0;
}

double Spring::settlingTime(double tolerance) const {
    // Scan backwards from a generous horizon for the last instant outside the band.
    const double dt = 0.0005;
    const double horizon = std::max(10.0 * response, 1.0);
    double last = 0;
    for (double t = 0; t <= horizon; t += dt) {
        if (std::abs(1.0 - stepResponse(t)) > tolerance) {
            last = t;
        }
    }
    return last;
}

double Spring::overshoot() const {
    double peak = 0;
    const double horizon = std::max(10.0 * response, 1.0);
    for (double t = 0; t <= horizon; t += 0.0005) {
        peak = std::max(peak, stepResponse(t) - 1.0);
    }
    return peak;
}

}  // namespace korvo
