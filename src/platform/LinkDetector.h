#pragma once

#include <QString>
#include <QUrl>

#include <vector>

namespace korvo {

/// Finds the links written in free text (an event's location or notes).
class LinkDetector {
public:
    virtual ~LinkDetector() = default;

    /// Every link in `text`, in order of appearance. Safe to call from any thread.
    virtual std::vector<QUrl> links(const QString& text) const = 0;
};

}  // namespace korvo
