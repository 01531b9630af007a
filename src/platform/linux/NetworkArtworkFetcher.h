#pragma once

#include "core/Cancellable.h"
#include "core/MainLoop.h"
#include "platform/ArtworkFetcher.h"

#include <QNetworkAccessManager>

namespace korvo {

/// Cover images over http and https with Qt's network stack, local files read in the background,
/// and images carried in a `data:` address. An address from a player may point anywhere, so
/// other schemes are refused, a body larger than the limit is cut off, and a fetch that takes
/// too long is given up.
class NetworkArtworkFetcher final : public ArtworkFetcher {
public:
    static constexpr qint64 kMaxBytes = 10 * 1024 * 1024;
    static constexpr double kTimeout = 10;

    explicit NetworkArtworkFetcher(MainLoop& loop, double timeoutSeconds = kTimeout,
                                   qint64 maxBytes = kMaxBytes);
    ~NetworkArtworkFetcher() override;

    void fetch(const QUrl& url, Done done) override;

    /// The bytes a `data:` address carries (base64 or percent-encoded), or nothing when it is
    /// malformed, empty or larger than `maxBytes`.
    static std::optional<QByteArray> decodeDataUrl(const QByteArray& encoded, qint64 maxBytes);

private:
    void fetchLocal(const QUrl& url, Done done);
    void fetchRemote(const QUrl& url, Done done);
    void fetchData(const QUrl& url, Done done);

    MainLoop& m_loop;
    double m_timeout;
    qint64 m_maxBytes;
    QNetworkAccessManager m_manager;
};

}  // namespace korvo
