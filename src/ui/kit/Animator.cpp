#include "Animator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace korvo::ui {

double applyCurve(Curve curve, double t) {
    t = std::clamp(t, 0.0, 1.0);
    switch (curve) {
        case Curve::linear:
            return t;
        case Curve::easeIn:
            return t * t * t;
        case Curve::easeOut:
            return 1 - std::pow(1 - t, 3);
        case Curve::easeInOut:
            return t < 0.5 ? 4 * t * t * t : 1 - std::pow(-2 * t + 2, 3) / 2;
        case Curve::sineInOut:
            return (1 - std::cos(std::numbers::pi * t)) / 2;
    }
    return t;
}

Animator::Animator(std::function<double()> clock) : m_clock(std::move(clock)) {
    m_now = m_clock ? m_clock() : 0;
}

void Animator::beginFrame() {
    m_now = m_clock ? m_clock() : m_now;
    m_repeatingActive = false;
    m_unboundedRepeat = false;
    m_regions.clear();
    for (auto& s : m_springs) {
        s.touched = false;
    }
    for (auto& s : m_timed) {
        s.touched = false;
    }
    for (auto& s : m_repeats) {
        s.touched = false;
    }
    for (auto& s : m_slots) {
        s.touched = false;
    }
    for (auto& s : m_states) {
        s.touched = false;
    }
}

void Animator::endFrame() {
    auto sweep = [](auto& map) {
        for (auto it = map.begin(); it != map.end();) {
            it = it->touched ? std::next(it) : map.erase(it);
        }
    };
    sweep(m_springs);
    sweep(m_timed);
    sweep(m_repeats);
    sweep(m_slots);
    sweep(m_states);
    for (auto it = m_pulseEnds.begin(); it != m_pulseEnds.end();) {
        it = *it <= m_now ? m_pulseEnds.erase(it) : std::next(it);
    }
}

void Animator::pulse(const QString& key, double duration) {
    // Handlers run between frames, so the pulse starts at the clock's time, not the frame's.
    const double start = m_clock ? m_clock() : m_now;
    m_pulseEnds.insert(key, start + duration);
}

bool Animator::isPulsing(const QString& key) const {
    const auto it = m_pulseEnds.constFind(key);
    return it != m_pulseEnds.constEnd() && m_now < *it;
}

double Animator::springValue(const SpringState& s, double t, double* velocity) const {
    const auto state = s.spring.evolve(s.from - s.target, s.velocity, std::max(0.0, t - s.start));
    if (velocity) {
        *velocity = state.velocity;
    }
    return s.target + state.displacement;
}

double Animator::spring(const QString& key, double target, const Spring& spring,
                        double resolution) {
    auto it = m_springs.find(key);
    if (it == m_springs.end() || m_immediate) {
        m_springs.insert(key, SpringState{target, target, 0, m_now, spring, resolution, true});
        return target;
    }
    SpringState& s = *it;
    s.touched = true;
    if (s.target != target) {
        double v = 0;
        const double current = springValue(s, m_now, &v);
        s = SpringState{target, current, v, m_now, spring, resolution, true};
    }
    return settledValue(s);
}

// A spring that has settled reads its target exactly, so a settled view is the same from one
// build to the next.
double Animator::settledValue(const SpringState& s) const {
    double v = 0;
    const double value = springValue(s, m_now, &v);
    return Spring::isSettled({value - s.target, v}, s.resolution) ? s.target : value;
}

double Animator::entrance(const QString& key, double from, double to, const Spring& spring,
                          double delay, double resolution) {
    auto it = m_springs.find(key);
    if (it == m_springs.end()) {
        if (m_immediate) {
            m_springs.insert(key, SpringState{to, to, 0, m_now, spring, resolution, true});
            return to;
        }
        // The spring's clock starts after the delay; until then it reads `from`.
        m_springs.insert(key, SpringState{to, from, 0, m_now + delay, spring, resolution, true});
        return from;
    }
    it->touched = true;
    return settledValue(*it);
}

double Animator::timedProgress(const TimedState& s, double t) const {
    if (s.duration <= 0) {
        return t >= s.start + s.delay ? 1.0 : 0.0;
    }
    return applyCurve(s.curve, (t - s.start - s.delay) / s.duration);
}

double Animator::timed(const QString& key, double target, double duration, double delay,
                       Curve curve) {
    auto it = m_timed.find(key);
    if (it == m_timed.end() || m_immediate) {
        m_timed.insert(key, TimedState{target, target, m_now, 0, 0, curve, true});
        return target;
    }
    TimedState& s = *it;
    s.touched = true;
    if (s.target != target) {
        const double current = s.from + (s.target - s.from) * timedProgress(s, m_now);
        s = TimedState{current, target, m_now, duration, delay, curve, true};
    }
    const double progress = timedProgress(s, m_now);
    return progress >= 1 ? s.target : s.from + (s.target - s.from) * progress;
}

double Animator::repeating(const QString& key, double from, double to, double duration,
                           double delay, Curve curve, const QString& region) {
    if (m_immediate || duration <= 0) {
        return to;
    }
    auto it = m_repeats.find(key);
    if (it == m_repeats.end()) {
        it = m_repeats.insert(key, RepeatState{m_now, true});
    }
    it->touched = true;
    m_repeatingActive = true;
    if (region.isEmpty()) {
        m_unboundedRepeat = true;
    } else {
        m_regions.insert(region);
    }
    const double t = m_now - it->start - delay;
    if (t <= 0) {
        return from;
    }
    const double cycles = t / duration;
    const auto whole = static_cast<long long>(cycles);
    double phase = cycles - static_cast<double>(whole);
    if (whole % 2 == 1) {
        phase = 1 - phase;  // auto-reverse
    }
    return from + (to - from) * applyCurve(curve, phase);
}

std::vector<Animator::Layer> Animator::transition(const QString& slot, const QString& contentKey,
                                                  NodePtr content, const Transition& in,
                                                  const Transition& out) {
    auto it = m_slots.find(slot);
    if (it == m_slots.end() || m_immediate) {
        SlotState s;
        s.current = Entry{contentKey, content, -1e9, in};
        it = m_slots.insert(slot, s);
    }
    SlotState& s = *it;
    s.touched = true;
    if (s.current.key != contentKey) {
        Entry old = s.current;
        old.start = m_now;
        old.style = out;
        s.leaving.push_back(old);
        s.current = Entry{contentKey, content, m_now, in};
    } else {
        s.current.node = content;
    }
    std::vector<Layer> layers;
    for (auto e = s.leaving.begin(); e != s.leaving.end();) {
        const double q = e->style.duration <= 0
                             ? 1.0
                             : applyCurve(e->style.curve,
                                          (m_now - e->start - e->style.delay) / e->style.duration);
        if (q >= 1.0) {
            e = s.leaving.erase(e);
            continue;
        }
        layers.push_back(
            Layer{e->node, e->key, e->style.fade ? 1 - q : 1, e->style.offset * q, true});
        ++e;
    }
    const Entry& c = s.current;
    const double p =
        c.style.duration <= 0
            ? (m_now >= c.start + c.style.delay ? 1.0 : 0.0)
            : applyCurve(c.style.curve, (m_now - c.start - c.style.delay) / c.style.duration);
    layers.push_back(Layer{c.node, c.key, c.style.fade ? p : 1, c.style.offset * (1 - p), false});
    return layers;
}

bool Animator::onlyRegionsMove() const {
    return m_repeatingActive && !m_unboundedRepeat && settledApartFromRepeats();
}

bool Animator::isSettled() const {
    return !m_repeatingActive && settledApartFromRepeats();
}

bool Animator::settledApartFromRepeats() const {
    for (const double end : m_pulseEnds) {
        if (m_now < end) {
            return false;
        }
    }
    for (const auto& s : m_springs) {
        double v = 0;
        const double value = springValue(s, m_now, &v);
        if (!Spring::isSettled({value - s.target, v}, s.resolution)) {
            return false;
        }
    }
    for (const auto& s : m_timed) {
        if (timedProgress(s, m_now) < 1.0 && s.from != s.target) {
            return false;
        }
    }
    for (const auto& s : m_slots) {
        if (!s.leaving.empty()) {
            return false;
        }
        const Entry& c = s.current;
        if (m_now < c.start + c.style.delay + c.style.duration) {
            return false;
        }
    }
    return true;
}

}  // namespace korvo::ui
