#include "NetworkArtworkFetcher.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <cmath>
#include <memory>

namespace korvo {

namespace {

constexpr int kMaxRedirects = 5;

bool isWebScheme(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

}  // namespace

NetworkArtworkFetcher::NetworkArtworkFetcher(MainLoop& loop, double timeoutSeconds, qint64 maxBytes)
    : m_loop(loop), m_timeout(timeoutSeconds), m_maxBytes(maxBytes) {}

NetworkArtworkFetcher::~NetworkArtworkFetcher() = default;

void NetworkArtworkFetcher::fetch(const QUrl& url, Done done) {
    if (url.isLocalFile()) {
        fetchLocal(url, std::move(done));
    } else if (isWebScheme(url) && url.isValid()) {
        fetchRemote(url, std::move(done));
    } else if (url.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0) {
        fetchData(url, std::move(done));
    } else {
        m_loop.post([done = std::move(done)] { done(std::nullopt); });
    }
}

void NetworkArtworkFetcher::fetchLocal(const QUrl& url, Done done) {
    // A local path may sit on a slow mount; it is read off the main thread all the same.
    m_loop.runInBackground(Qos::utility, [loop = &m_loop, path = url.toLocalFile(),
                                          limit = m_maxBytes, done = std::move(done)] {
        std::optional<QByteArray> bytes;
        const QFileInfo info(path);
        QFile file(path);
        if (info.isFile() && info.size() <= limit && file.open(QIODevice::ReadOnly)) {
            QByteArray data = file.read(limit + 1);
            if (data.size() <= limit) {
                bytes = std::move(data);
            }
        }
        loop->post([done, bytes = std::move(bytes)] { done(bytes); });
    });
}

void NetworkArtworkFetcher::fetchData(const QUrl& url, Done done) {
    // The image is in the address itself; decoding a large one still stays off the main thread.
    m_loop.runInBackground(Qos::utility, [loop = &m_loop, encoded = url.toEncoded(),
                                          limit = m_maxBytes, done = std::move(done)] {
        auto bytes = decodeDataUrl(encoded, limit);
        loop->post([done, bytes = std::move(bytes)] { done(bytes); });
    });
}

std::optional<QByteArray> NetworkArtworkFetcher::decodeDataUrl(const QByteArray& encoded,
                                                               qint64 maxBytes) {
    // data:[<media type>][;base64],<data>
    const qsizetype comma = encoded.indexOf(',');
    if (!encoded.toLower().startsWith("data:") || comma < 0 ||
        encoded.size() - comma > maxBytes * 3 + 16) {  // percent-encoding triples a byte at most
        return std::nullopt;
    }
    const QByteArray header = encoded.mid(5, comma - 5).toLower();
    const QByteArray payload = QByteArray::fromPercentEncoding(encoded.mid(comma + 1));
    QByteArray bytes;
    if (header.endsWith(";base64")) {
        auto decoded =
            QByteArray::fromBase64Encoding(payload, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) {
            return std::nullopt;
        }
        bytes = std::move(*decoded);
    } else {
        bytes = payload;
    }
    if (bytes.isEmpty() || bytes.size() > maxBytes) {
        return std::nullopt;
    }
    return bytes;
}

void NetworkArtworkFetcher::fetchRemote(const QUrl& url, Done done) {
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    QNetworkReply* reply = m_manager.get(request);

    // The whole fetch, not just a pause between packets, is bounded.
    auto* timer = new QTimer(reply);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, reply, &QNetworkReply::abort);
    timer->start(static_cast<int>(std::lround(m_timeout * 1000)));

    QObject::connect(reply, &QNetworkReply::redirected, reply, [reply](const QUrl& target) {
        if (isWebScheme(target)) {
            emit reply->redirectAllowed();
        } else {
            reply->abort();
        }
    });
    const qint64 limit = m_maxBytes;
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, limit] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > limit) {
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [reply, limit](qint64 received, qint64) {
                         if (received > limit) {
                             reply->abort();
                         }
                     });
    QObject::connect(reply, &QNetworkReply::finished, reply,
                     [reply, limit, done = std::move(done)] {
                         reply->deleteLater();
                         if (reply->error() != QNetworkReply::NoError) {
                             done(std::nullopt);
                             return;
                         }
                         QByteArray body = reply->read(limit + 1);
                         if (body.size() > limit) {
                             done(std::nullopt);
                             return;
                         }
                         done(std::move(body));
                     });
}

}  // namespace korvo
