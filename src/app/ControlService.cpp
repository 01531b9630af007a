#include "ControlService.h"

#include "app/ControlProtocol.h"
#include "app/NotchWindowController.h"
#include "app/StateJson.h"
#include "core/EventBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

namespace korvo {

ControlService::ControlService(MainLoop& loop, EventBus& bus, ActivityEngine& engine,
                               NotchWindowController& window)
    : m_loop(loop), m_bus(bus), m_engine(engine), m_window(window) {}

bool ControlService::registerOnSessionBus() {
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    const auto reply = bus.interface()->registerService(
        QString::fromLatin1(control::kService), QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        return false;
    }
    return bus.registerObject(QString::fromLatin1(control::kPath), this,
                              QDBusConnection::ExportAllSlots);
}

void ControlService::refuse(const QString& why) {
    if (calledFromDBus()) {
        sendErrorReply(QDBusError::InvalidArgs, why);
    }
}

void ControlService::refuseOverLimit() {
    if (calledFromDBus()) {
        sendErrorReply(QDBusError::LimitsExceeded, control::ActivityLimit::refusal());
    }
}

QString ControlService::State() {
    return QString::fromUtf8(
        QJsonDocument(stateJson(m_window.viewModel().state.get(), m_engine)).toJson());
}

QString ControlService::Tree() {
    const auto tree = m_window.currentTree();
    return tree ? QString::fromUtf8(QJsonDocument(treeJson(*tree)).toJson()) : QStringLiteral("{}");
}

QString ControlService::Toast(const QString& icon, const QString& title, const QString& subtitle,
                              double duration, int priority) {
    const control::ToastRequest r{icon, title, subtitle, duration, priority};
    if (auto why = control::validate(r)) {
        refuse(*why);
        return {};
    }
    auto t = TransientNotification::make(
        icon, title, subtitle.isEmpty() ? std::nullopt : std::optional<QString>(subtitle), duration,
        *activityPriorityFromRaw(priority));
    QString id = t.id.toString(QUuid::WithoutBraces);
    m_bus.post(std::move(t));
    return id;
}

bool ControlService::postActivity(bool update, const QString& id, const QString& kind,
                                  const QString& icon, const QString& title,
                                  const QString& subtitle, double progress, int priority) {
    const control::ActivityRequest r{id, kind, icon, title, subtitle, progress, priority};
    if (auto why = control::validate(r, true)) {
        refuse(*why);
        return false;
    }
    if (!m_limit.admit(id)) {
        refuseOverLimit();
        return false;
    }
    Activity a;
    a.id = id;
    a.kind = *activityKindFromRaw(kind);
    a.priority = *activityPriorityFromRaw(priority);
    a.startedAt = m_loop.wallNow();
    // An update keeps the activity's place in the carousel.
    if (update) {
        for (const auto& live : m_engine.activities.get()) {
            if (live.id == id) {
                a.startedAt = live.startedAt;
            }
        }
    }
    a.payload = GenericPayload{icon, title,
                               subtitle.isEmpty() ? std::nullopt : std::optional<QString>(subtitle),
                               progress < 0 ? std::nullopt : std::optional<double>(progress)};
    if (update) {
        m_bus.post(ActivityUpdated{a});
    } else {
        m_bus.post(ActivityStarted{a});
    }
    return true;
}

void ControlService::StartActivity(const QString& id, const QString& kind, const QString& icon,
                                   const QString& title, const QString& subtitle, double progress,
                                   int priority) {
    postActivity(false, id, kind, icon, title, subtitle, progress, priority);
}

void ControlService::UpdateActivity(const QString& id, const QString& kind, const QString& icon,
                                    const QString& title, const QString& subtitle, double progress,
                                    int priority) {
    postActivity(true, id, kind, icon, title, subtitle, progress, priority);
}

void ControlService::EndActivity(const QString& id) {
    if (auto why = control::validate(control::ActivityRequest{id, {}, {}, {}, {}, -1, 1}, false)) {
        refuse(*why);
        return;
    }
    m_limit.release(id);
    m_bus.post(ActivityEnded{id});
}

void ControlService::Expand() {
    m_window.viewModel().expand();
}
void ControlService::Collapse() {
    m_window.viewModel().collapse();
}
void ControlService::Toggle() {
    m_window.viewModel().toggleExpanded();
}
void ControlService::Hud() {
    m_window.viewModel().showHud();
}

QString ControlService::Snapshot(const QString& path, double scale) {
    if (!(scale > 0 && scale <= 8)) {
        refuse(QStringLiteral("scale must be more than 0 and at most 8"));
        return {};
    }
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isAbsolute() || !info.dir().exists()) {
        refuse(QStringLiteral("snapshot needs an absolute path in an existing folder"));
        return {};
    }
    if (!m_window.snapshot(scale).save(path, "PNG")) {
        refuse(QStringLiteral("could not write ") + path);
        return {};
    }
    return path;
}

void ControlService::Activate() {
    m_bus.post(TransientNotification::make(QStringLiteral("capsule.fill"),
                                           QStringLiteral("Korvo is running"), std::nullopt, 2.5,
                                           ActivityPriority::normal));
}

void ControlService::OpenSettings() {
    if (!openSettings) {
        refuse(QStringLiteral("this island has no settings window"));
        return;
    }
    openSettings();
}

}  // namespace korvo
