#pragma once

#include <QByteArray>
#include <QUrl>

#include <functional>
#include <optional>

namespace korvo {

/// Fetches cover images. Main-thread use; never blocks it.
class ArtworkFetcher {
public:
    using Done = std::function<void(std::optional<QByteArray>)>;

    virtual ~ArtworkFetcher() = default;
    /// One plain GET. `done` runs exactly once, later, on the main thread: with the body, or
    /// with nothing when the fetch failed or was refused.
    virtual void fetch(const QUrl& url, Done done) = 0;
};

}  // namespace korvo
