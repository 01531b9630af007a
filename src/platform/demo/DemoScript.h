#pragma once

#include "core/MainLoop.h"

#include <functional>
#include <vector>

namespace korvo {

/// Steps at fixed offsets within a round that repeats for as long as the script lives.
class DemoScript {
public:
    DemoScript(MainLoop& loop, double period) : m_loop(loop), m_period(period) {}

    void add(double at, std::function<void()> step) { m_steps.push_back({at, std::move(step)}); }
    /// Starts the first round now; later calls do nothing.
    void start();

private:
    void round();

    struct Step {
        double at;
        std::function<void()> fn;
    };
    MainLoop& m_loop;
    double m_period;
    std::vector<Step> m_steps;
    std::vector<TaskHandle> m_pending;
    bool m_started = false;
};

}  // namespace korvo
