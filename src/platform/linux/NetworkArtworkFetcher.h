#pragma once

#include "core/Cancellable.h"
#include "core/MainLoop.h"
#include "platform/ArtworkFetcher.h"

#include <QNetworkAccessManager>

namespace korvo {

/// Cover images over http and https with Qt's network stack, and local files read in the
/// background. An address from a web page may point anywhere, so other schemes are refused, a
/// body larger than the limit is cut off, and a fetch that takes too long is given up.
class NetworkArtworkFetcher final : public ArtworkFetcher {
public:
    static constexpr qint64 kMaxBytes = 10 * 1024 * 1024;
    static constexpr double kTimeout = 10;

    explicit NetworkArtworkFetcher(MainLoop& loop, double timeoutSeconds = kTimeout,
                                   qint64 maxBytes = kMaxBytes);
    ~NetworkArtworkFetcher() override;

    void fetch(const QUrl& url, Done done) override;

private:
    void fetchLocal(const QUrl& url, Done done);
    void fetchRemote(const QUrl& url, Done done);

    MainLoop& m_loop;
    double m_timeout;
    qint64 m_maxBytes;
    QNetworkAccessManager m_manager;
};

}  // namespace korvo
