#include "DemoScript.h"

namespace korvo {

void DemoScript::start() {
    if (m_started) {
        return;
    }
    m_started = true;
    round();
}

void DemoScript::round() {
    m_pending.clear();
    for (const auto& step : m_steps) {
        m_pending.push_back(m_loop.postDelayed(step.at, step.fn));
    }
    m_pending.push_back(m_loop.postDelayed(m_period, [this] { round(); }));
}

}  // namespace korvo
