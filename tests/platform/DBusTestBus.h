#pragma once

// Helpers for tests that speak D-Bus to fake services exported by the test itself, on the
// private session bus that `dbus-run-session` gives the test run.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

#include <gtest/gtest.h>

namespace korvo::testing {

inline bool hasSessionBus() {
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS");
}

#define KORVO_REQUIRE_SESSION_BUS()                                                     \
    do {                                                                                \
        if (!::korvo::testing::hasSessionBus()) {                                       \
            GTEST_SKIP() << "needs a private session bus (run under dbus-run-session)"; \
        }                                                                               \
    } while (false)

/// Runs the event loop until `done` holds or `timeoutMs` passes; true when it holds.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.hasExpired(timeoutMs)) {
            return false;
        }
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

/// Lets whatever is already on its way arrive.
inline void settle(int ms = 200) {
    waitUntil([] { return false; }, ms);
}

/// A second connection to the session bus that owns a well-known name, as a system daemon
/// would, and answers calls through a virtual object. Calls may arrive on Qt's D-Bus thread,
/// so the state a fake keeps is guarded by `mutex`.
class FakeService : public QDBusVirtualObject {
public:
    FakeService(QString serviceName, QString rootPath)
        : m_serviceName(std::move(serviceName)),
          m_rootPath(std::move(rootPath)),
          m_connectionName(QStringLiteral("korvo-fake-") + m_serviceName +
                           QString::number(++s_count)) {}
    ~FakeService() override { stop(); }

    /// Connects, exports the root path with every path below it and takes the name.
    bool publish() {
        m_connection.emplace(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName));
        if (!m_connection->isConnected() ||
            !m_connection->registerVirtualObject(m_rootPath, this, QDBusConnection::SubPath)) {
            return false;
        }
        return m_connection->registerService(m_serviceName);
    }
    /// Lets go of the name, keeping the connection and the calls it has taken.
    void releaseName() { m_connection->unregisterService(m_serviceName); }
    void stop() {
        if (!m_connection) {
            return;
        }
        m_connection->unregisterService(m_serviceName);
        m_connection->unregisterObject(m_rootPath, QDBusConnection::UnregisterTree);
        m_connection.reset();
        QDBusConnection::disconnectFromBus(m_connectionName);
    }

    QString introspect(const QString&) const override { return {}; }

    void emitSignal(const QString& path, const QString& interface, const QString& name,
                    const QVariantList& args) {
        auto message = QDBusMessage::createSignal(path, interface, name);
        message.setArguments(args);
        m_connection->send(message);
    }
    void emitPropertiesChanged(const QString& path, const QString& interface,
                               const QVariantMap& changed) {
        emitSignal(path, QStringLiteral("org.freedesktop.DBus.Properties"),
                   QStringLiteral("PropertiesChanged"), {interface, changed, QStringList()});
    }

    std::atomic<int> calls{0};

protected:
    std::mutex mutex;

private:
    QString m_serviceName;
    QString m_rootPath;
    QString m_connectionName;
    std::optional<QDBusConnection> m_connection;
    static inline int s_count = 0;
};

}  // namespace korvo::testing
