// Cover fetches against a small HTTP server on the loopback interface and local files.
#include "platform/linux/NetworkArtworkFetcher.h"

#include "core/QtMainLoop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace korvo;

namespace {

/// Answers GET requests by path: "/cover" a small body, "/big" a body over the limit with no
/// length given, "/huge" a length over the limit, "/silent" nothing at all, "/to-file" and
/// "/to-cover" redirects.
class TinyHttpServer {
public:
    TinyHttpServer() {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket] { answer(socket); });
            }
        });
    }
    QString url(const char* path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }

private:
    void answer(QTcpSocket* socket) {
        const QByteArray request = socket->readAll();
        const QByteArray path = request.split(' ').value(1);
        auto reply = [socket](const QByteArray& head, const QByteArray& body) {
            socket->write(head + "\r\n\r\n" + body);
            socket->disconnectFromHost();
        };
        if (path == "/cover") {
            reply("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close", "bytes");
        } else if (path == "/big") {
            reply("HTTP/1.1 200 OK\r\nConnection: close", QByteArray(4096, 'x'));
        } else if (path == "/huge") {
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: 99999999\r\n\r\n");
        } else if (path == "/to-file") {
            reply("HTTP/1.1 302 Found\r\nLocation: file:///etc/hostname\r\nContent-Length: 0", {});
        } else if (path == "/to-cover") {
            reply("HTTP/1.1 302 Found\r\nLocation: " + url("/cover").toLatin1() +
                      "\r\nContent-Length: 0",
                  {});
        } else if (path == "/missing") {
            reply("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close", {});
        }
        // "/silent": keep the connection open and say nothing.
    }

    QTcpServer m_server;
};

struct Outcome {
    bool finished = false;
    std::optional<QByteArray> bytes;
    qint64 afterMs = 0;
};

Outcome fetch(NetworkArtworkFetcher& fetcher, const QString& url) {
    Outcome out;
    QElapsedTimer clock;
    clock.start();
    bool onMain = false;
    fetcher.fetch(QUrl(url), [&](std::optional<QByteArray> bytes) {
        out.finished = true;
        out.bytes = std::move(bytes);
        out.afterMs = clock.elapsed();
        onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    EXPECT_FALSE(out.finished) << "answered before returning";
    while (!out.finished && clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    EXPECT_TRUE(!out.finished || onMain) << url.toStdString();
    return out;
}

}  // namespace

TEST(NetworkArtworkFetcher, OnlyWebLocalAndDataCoversWithinTheLimits) {
    QtMainLoop loop;
    TinyHttpServer server;
    NetworkArtworkFetcher fetcher(loop, 0.5, 1024);

    EXPECT_EQ(fetch(fetcher, server.url("/cover")).bytes, QByteArray("bytes"));
    EXPECT_EQ(fetch(fetcher, server.url("/to-cover")).bytes, QByteArray("bytes"));
    EXPECT_FALSE(fetch(fetcher, server.url("/to-file")).bytes);  // a redirect to another scheme
    for (const char* url : {"ftp://127.0.0.1/cover.png", "cover", "javascript:alert(1)"}) {
        EXPECT_FALSE(fetch(fetcher, QString::fromLatin1(url)).bytes) << url;
    }
    EXPECT_EQ(fetch(fetcher,
                    QString::fromLatin1("data:image/png;base64," + QByteArray("bytes").toBase64()))
                  .bytes,
              QByteArray("bytes"));
    EXPECT_EQ(fetch(fetcher, "DATA:,a%20b").bytes, QByteArray("a b"));
    for (const QString& url :
         {QStringLiteral("data:image/png;base64,%%%"), QStringLiteral("data:image/png;base64"),
          QStringLiteral("data:,"),
          "data:image/png;base64," + QString::fromLatin1(QByteArray(2048, 'x').toBase64())}) {
        EXPECT_FALSE(fetch(fetcher, url).bytes) << url.left(40).toStdString();
    }
    EXPECT_FALSE(fetch(fetcher, server.url("/missing")).bytes);
    EXPECT_FALSE(fetch(fetcher, server.url("/big")).bytes);
    // Refused on the announced length: with a timeout of a minute it still ends at once.
    NetworkArtworkFetcher patient(loop, 60, 1024);
    const Outcome huge = fetch(patient, server.url("/huge"));
    EXPECT_TRUE(huge.finished);
    EXPECT_FALSE(huge.bytes);

    const Outcome silent = fetch(fetcher, server.url("/silent"));
    EXPECT_TRUE(silent.finished);
    EXPECT_FALSE(silent.bytes);
    EXPECT_GE(silent.afterMs, 450);

    QTemporaryDir dir;
    QFile small(dir.filePath("a.png"));
    ASSERT_TRUE(small.open(QIODevice::WriteOnly));
    small.write("local");
    small.close();
    EXPECT_EQ(fetch(fetcher, QUrl::fromLocalFile(small.fileName()).toString()).bytes,
              QByteArray("local"));
    ASSERT_TRUE(small.open(QIODevice::Append));
    small.write(QByteArray(2048, 'x'));
    small.close();
    EXPECT_FALSE(fetch(fetcher, QUrl::fromLocalFile(small.fileName()).toString()).bytes);
    EXPECT_FALSE(fetch(fetcher, QUrl::fromLocalFile(dir.path()).toString()).bytes);
    loop.waitForBackground();
}
