#pragma once

#include "core/MainLoop.h"
#include "platform/PointerDisplay.h"

namespace korvo {

/// The pointer's display on an X server: the toolkit's cursor position, read on the loop's
/// shared half-second beat while someone watches (the X server sends no notice of pointer
/// moves to a client that does not own the window under it).
class X11PointerDisplay final : public PointerDisplaySource {
public:
    explicit X11PointerDisplay(MainLoop& loop) : m_loop(loop) {}

    Subscription watch(std::function<void(const QString& display)> report) override;

    /// How often the pointer is read while watched, and how far the loop may shift a read.
    static constexpr double kInterval = 0.5;
    static constexpr double kTolerance = 0.25;

private:
    MainLoop& m_loop;
};

}  // namespace korvo
