#include "DemoTour.h"

namespace korvo {

namespace {

Activity make(const QString& id, Activity::Kind kind, ActivityPriority p, const QDateTime& now,
              ActivityPayload payload) {
    Activity a;
    a.id = id;
    a.kind = kind;
    a.priority = p;
    a.startedAt = now;
    a.payload = std::move(payload);
    return a;
}

}  // namespace

DemoTour::DemoTour(MainLoop& loop, EventBus& bus, std::function<void(IslandState)> present,
                   std::function<void(int)> swipe)
    : m_loop(loop), m_bus(bus), m_present(std::move(present)), m_swipe(std::move(swipe)) {}

void DemoTour::start() {
    round();
}

void DemoTour::at(double seconds, std::function<void()> step) {
    m_steps.push_back(m_loop.postDelayed(seconds, std::move(step)));
}

void DemoTour::round() {
    m_steps.clear();
    auto now = [this] { return m_loop.wallNow(); };

    at(12, [this] { m_present(IslandState::expanded); });
    at(16, [this] { m_present(IslandState::compact); });
    for (int step = 0; step <= 10; ++step) {
        at(29 + step * 0.6, [this, now, step] {
            const Activity a =
                make(QStringLiteral("demo.download"), Activity::Kind::download,
                     ActivityPriority::normal, now(),
                     GenericPayload{QStringLiteral("arrow.down.circle.fill"),
                                    QStringLiteral("Downloading"),
                                    QStringLiteral("korvo-demo.tar.gz"), step / 10.0});
            if (step == 0) {
                m_bus.post(ActivityStarted{a});
            } else {
                m_bus.post(ActivityUpdated{a});
            }
        });
    }
    at(36, [this] {
        m_bus.post(ActivityEnded{QStringLiteral("demo.download")});
        m_present(IslandState::expanded);
    });
    at(38.5, [this] { m_swipe(+1); });
    at(41, [this] { m_swipe(+1); });
    at(43.5, [this] { m_swipe(+1); });
    at(46, [this] { m_present(IslandState::hud); });
    at(50, [this] { m_present(IslandState::compact); });
    at(kRound, [this] { round(); });
}

}  // namespace korvo
