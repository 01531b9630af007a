#pragma once

#include "core/Spring.h"
#include "ui/kit/Node.h"

#include <QHash>
#include <QPointF>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <typeinfo>
#include <vector>

namespace korvo::ui {

/// `sineInOut` eases in and out along half a cosine: at its steepest half as steep as the cubic
/// `easeInOut`, so a swing drawn in few frames moves in even, small steps.
enum class Curve { linear, easeIn, easeOut, easeInOut, sineInOut };
double applyCurve(Curve curve, double t);

/// How keyed content enters or leaves.
struct Transition {
    double duration = 0.18;
    double delay = 0;
    Curve curve = Curve::easeOut;
    bool fade = true;
    QPointF offset;  // points: where entering content starts / leaving content ends
};

/// Animated values keyed by stable identity strings. Views ask for a value with its target each
/// time they are built; the animator answers where the value is now. Keys not asked for during a
/// frame are forgotten, so content that left the screen stops animating.
class Animator {
public:
    explicit Animator(std::function<double()> clock);

    /// Values jump straight to their targets (snapshots of settled states).
    void setImmediate(bool immediate) { m_immediate = immediate; }
    bool immediate() const { return m_immediate; }

    void beginFrame();
    void endFrame();
    /// Moves to the clock's time between frames of the whole tree, for moving pieces built again
    /// alone (Reuse.h): they read their values at this time, and nothing is forgotten.
    void beginPieceFrame() { m_now = m_clock ? m_clock() : m_now; }
    double now() const { return m_now; }
    /// The clock as it reads at this moment: event handlers run between frames and time their
    /// rules by it, not by the last frame's time.
    double clockNow() const { return m_clock ? m_clock() : m_now; }

    /// Follows `target` with `spring`; a new target starts from the current position and speed.
    /// `resolution` is the smallest change worth drawing (1 for points, less for opacities
    /// and scales).
    double spring(const QString& key, double target, const Spring& spring, double resolution = 1.0);
    /// A value that enters once per appearance: it reads `from` on the first frame it is asked
    /// for and springs to `to` `delay` seconds later, then stays. After a frame without it, it
    /// enters again.
    double entrance(const QString& key, double from, double to, const Spring& spring, double delay,
                    double resolution = 1.0);
    /// Moves to `target` over `duration` after `delay`, along `curve`.
    double timed(const QString& key, double target, double duration, double delay = 0,
                 Curve curve = Curve::easeInOut);
    /// Swings between `from` and `to` forever with auto-reverse, starting `delay` after the
    /// first request.
    /// `region` names the piece (`piece` in View.h) the animation stays inside, so the window
    /// may build and redraw just that piece while nothing else moves.
    double repeating(const QString& key, double from, double to, double duration, double delay,
                     Curve curve = Curve::easeInOut, const QString& region = {});

    struct Layer {
        NodePtr node;
        QString key;
        double opacity = 1;
        QPointF offset;  // points
        bool leaving = false;
    };
    /// Keyed content in a slot: when `contentKey` changes, the old content leaves with `out`
    /// while the new one enters with `in`. Returns the layers to draw, oldest first.
    std::vector<Layer> transition(const QString& slot, const QString& contentKey, NodePtr content,
                                  const Transition& in, const Transition& out);

    /// Starts a moment of `duration` seconds now. Meant for event handlers: a button that looks
    /// pressed for a beat after a click asks `isPulsing` while it is built.
    void pulse(const QString& key, double duration);
    bool isPulsing(const QString& key) const;

    /// State a view keeps while it stays on screen: `make` builds it on the first frame the key
    /// is asked for; it lives as long as every frame asks for it and is dropped at the end of the
    /// first frame that does not (or with the animator), so a view that comes back starts
    /// afresh. Its destructor therefore marks the view leaving the screen.
    template <typename T, typename Make>
    std::shared_ptr<T> state(const QString& key, Make make) {
        auto it = m_states.find(key);
        if (it == m_states.end() || it->type != &typeid(T)) {
            std::shared_ptr<T> made = make();
            it = m_states.insert(key, StateSlot{made, &typeid(T), true});
        }
        it->touched = true;
        return std::static_pointer_cast<T>(it->value);
    }
    template <typename T>
    std::shared_ptr<T> state(const QString& key) {
        return state<T>(key, [] { return std::make_shared<T>(); });
    }

    /// Nothing is moving: every spring has settled, every timed move and transition finished,
    /// no pulse is running, and no repeating animation was asked for in the last frame.
    bool isSettled() const;
    /// Everything but the repeating animations has settled, and each of those named its region:
    /// then only `activeRegions()` need redrawing.
    bool onlyRegionsMove() const;
    const QSet<QString>& activeRegions() const { return m_regions; }

private:
    struct SpringState {
        double target = 0;
        double from = 0;
        double velocity = 0;
        double start = 0;
        Spring spring;
        double resolution = 1.0;
        bool touched = true;
    };
    struct TimedState {
        double from = 0;
        double target = 0;
        double start = 0;
        double duration = 0;
        double delay = 0;
        Curve curve = Curve::linear;
        bool touched = true;
    };
    struct RepeatState {
        double start = 0;
        bool touched = true;
    };
    struct Entry {
        QString key;
        NodePtr node;
        double start = 0;
        Transition style;
    };
    struct SlotState {
        Entry current;
        std::vector<Entry> leaving;
        bool touched = true;
    };
    struct StateSlot {
        std::shared_ptr<void> value;
        const std::type_info* type = nullptr;
        bool touched = true;
    };

    double springValue(const SpringState& s, double t, double* velocity) const;
    double settledValue(const SpringState& s) const;
    bool settledApartFromRepeats() const;
    double timedProgress(const TimedState& s, double t) const;

    std::function<double()> m_clock;
    double m_now = 0;
    bool m_immediate = false;
    bool m_repeatingActive = false;
    bool m_unboundedRepeat = false;  // a repeating animation without a region
    QSet<QString> m_regions;
    QHash<QString, SpringState> m_springs;
    QHash<QString, TimedState> m_timed;
    QHash<QString, RepeatState> m_repeats;
    QHash<QString, SlotState> m_slots;
    QHash<QString, double> m_pulseEnds;
    QHash<QString, StateSlot> m_states;
};

}  // namespace korvo::ui
