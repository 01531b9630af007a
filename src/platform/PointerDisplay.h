#pragma once

#include "core/Cancellable.h"

#include <QString>

#include <functional>

namespace korvo {

/// Which display the pointer is on.
class PointerDisplaySource {
public:
    virtual ~PointerDisplaySource() = default;

    /// Reports the name of the display under the pointer at once and then now and then, on the
    /// main thread, until the subscription ends. Nothing is read, and nothing wakes the process
    /// on its behalf, while no one watches. A pointer between displays is not reported.
    virtual Subscription watch(std::function<void(const QString& display)> report) = 0;
};

}  // namespace korvo
