#pragma once

#include "core/Cancellable.h"

#include <QStringList>

#include <functional>

namespace korvo {

/// A live index of the screen captures under the user's home folder.
class ScreenCaptureIndex {
public:
    virtual ~ScreenCaptureIndex() = default;

    /// Starts watching. `added` runs on the main thread with the paths of the captures added in
    /// one update, oldest first; captures that existed when watching began are never reported.
    virtual Subscription watch(std::function<void(const QStringList& added)> added) = 0;
};

}  // namespace korvo
