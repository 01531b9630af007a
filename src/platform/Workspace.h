#pragma once

#include <QUrl>

namespace korvo {

/// The desktop's way of opening things with the user's default application.
class Workspace {
public:
    virtual ~Workspace() = default;
    /// Opens `url` (a file or a web address); a failure is not reported.
    virtual void open(const QUrl& url) = 0;
};

}  // namespace korvo
