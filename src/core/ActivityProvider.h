#pragma once

#include <QString>

namespace korvo {

/// One small provider per service: the engine starts it once, then the service posts events on
/// its own schedule.
class ActivityProvider {
public:
    virtual ~ActivityProvider() = default;
    virtual QString name() const = 0;
    virtual void start() = 0;
};

}  // namespace korvo
