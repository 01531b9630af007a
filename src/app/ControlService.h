#pragma once

#include "app/ControlProtocol.h"

#include <QDBusContext>
#include <QObject>

#include <functional>

namespace korvo {

class ActivityEngine;
class EventBus;
class MainLoop;
class NotchWindowController;

/// The running island's control interface on the session bus (see ControlProtocol.h).
class ControlService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.korvo.Korvo1")

public:
    ControlService(MainLoop& loop, EventBus& bus, ActivityEngine& engine,
                   NotchWindowController& window);

    /// Claims the name and exports the object; false when another Korvo already has it.
    bool registerOnSessionBus();

public slots:
    QString State();
    QString Tree();
    QString Toast(const QString& icon, const QString& title, const QString& subtitle,
                  double duration, int priority);
    void StartActivity(const QString& id, const QString& kind, const QString& icon,
                       const QString& title, const QString& subtitle, double progress,
                       int priority);
    void UpdateActivity(const QString& id, const QString& kind, const QString& icon,
                        const QString& title, const QString& subtitle, double progress,
                        int priority);
    void EndActivity(const QString& id);
    void Expand();
    void Collapse();
    void Toggle();
    void Hud();
    QString Snapshot(const QString& path, double scale);
    /// A second start hands over here.
    void Activate();
    /// Opens the settings window, or raises it.
    void OpenSettings();

public:
    std::function<void()> openSettings;  // set where the window lives; empty: refused

private:
    bool postActivity(bool update, const QString& id, const QString& kind, const QString& icon,
                      const QString& title, const QString& subtitle, double progress, int priority);
    void refuse(const QString& why);
    void refuseOverLimit();

    MainLoop& m_loop;
    EventBus& m_bus;
    ActivityEngine& m_engine;
    NotchWindowController& m_window;
    control::ActivityLimit m_limit;
};

}  // namespace korvo
