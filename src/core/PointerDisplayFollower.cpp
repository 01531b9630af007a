#include "PointerDisplayFollower.h"

#include "core/MainThread.h"

namespace korvo {

void PointerDisplayFollower::report(const QString& display) {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    if (!m_display) {
        adopt(display);
        return;
    }
    if (display == *m_display) {
        // Back where it was before the wait ran out: nothing moves.
        m_candidate.reset();
        m_settle.cancel();
        return;
    }
    if (display == m_candidate) {
        return;  // still waiting out the same move
    }
    m_candidate = display;
    m_settle = m_loop.postDelayed(kSettle, [this, display] { adopt(display); });
}

void PointerDisplayFollower::forget() {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    m_display.reset();
    m_candidate.reset();
    m_settle.cancel();
}

void PointerDisplayFollower::adopt(const QString& display) {
    m_candidate.reset();
    m_settle.cancel();
    if (m_display == display) {
        return;
    }
    m_display = display;
    m_changed.send(0);
}

}  // namespace korvo
