#include "NotificationService.h"
#include "core/MainThread.h"
#include "settings/NotificationApps.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>

namespace korvo {

namespace {

// Apps kept in the burst table before quiet ones are dropped.
constexpr std::size_t kBurstTableSize = 32;

struct Keyword {
    const char* text;
    const char* symbol;
};

// By the category hint's class ("email.arrived" is of class "email").
constexpr std::array<Keyword, 6> kCategories{{
    {"email", "envelope.fill"},
    {"im", "message.fill"},
    {"call", "phone.fill"},
    {"presence", "person.fill"},
    {"network", "wifi"},
    {"transfer", "arrow.down.circle.fill"},
}};

// By words in the icon name, the desktop entry or the application's name.
constexpr std::array<Keyword, 14> kNameWords{{
    {"mail", "envelope.fill"},
    {"chat", "message.fill"},
    {"messag", "message.fill"},
    {"phone", "phone.fill"},
    {"call", "phone.fill"},
    {"calendar", "calendar"},
    {"battery", "battery.25"},
    {"power", "bolt.fill"},
    {"bluetooth", "bluetooth"},
    {"network", "wifi"},
    {"wifi", "wifi"},
    {"download", "arrow.down.circle.fill"},
    {"music", "music.note"},
    {"player", "music.note"},
}};

ActivityPriority priorityFor(const DesktopNotification& n) {
    switch (n.urgency.value_or(1)) {
        case 0:
            return ActivityPriority::low;
        case 2:
            return ActivityPriority::high;
        default:
            return ActivityPriority::normal;
    }
}

bool isCritical(const DesktopNotification& n) {
    return n.urgency == 2;
}

QString decodeEntities(const QString& text) {
    static const QRegularExpression entity(
        QStringLiteral("&(#[0-9]{1,7}|#[xX][0-9a-fA-F]{1,6}|"
                       "amp|lt|gt|quot|apos|nbsp);"));
    QString out;
    qsizetype at = 0;
    auto it = entity.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        out += QStringView(text).mid(at, m.capturedStart() - at);
        at = m.capturedEnd();
        const QString name = m.captured(1);
        if (name.startsWith(QLatin1Char('#'))) {
            const bool hex = name.size() > 1 && (name[1] == u'x' || name[1] == u'X');
            bool ok = false;
            const uint code = name.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
            if (ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
                const char32_t c = code;
                out += QString::fromUcs4(&c, 1);
            }
        } else if (name == QLatin1String("amp")) {
            out += QLatin1Char('&');
        } else if (name == QLatin1String("lt")) {
            out += QLatin1Char('<');
        } else if (name == QLatin1String("gt")) {
            out += QLatin1Char('>');
        } else if (name == QLatin1String("quot")) {
            out += QLatin1Char('"');
        } else if (name == QLatin1String("apos")) {
            out += QLatin1Char('\'');
        } else {
            out += QLatin1Char(' ');
        }
    }
    out += QStringView(text).mid(at);
    return out;
}

}  // namespace

NotificationService::NotificationService(MainLoop& loop, EventBus& bus,
                                         NotificationPreferences& settings,
                                         NotificationMonitor& monitor)
    : m_loop(loop), m_bus(bus), m_settings(settings), m_monitor(monitor) {}

void NotificationService::start() {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    m_settingsChanges = m_settings.observe([this](const QString& key) {
        if (key == QLatin1String("desktopNotifications")) {
            follow();
        }
    });
    follow();
}

void NotificationService::follow() {
    const bool on = m_settings.desktopNotifications();
    if (on == m_watch.isActive()) {
        return;
    }
    if (!on) {
        // Nothing is watched while the switch is off, and nothing held back is shown later.
        m_watch.cancel();
        m_bursts.clear();
        m_settings.reportMonitorStatus(NotificationMonitorStatus::off);
        return;
    }
    m_settings.reportMonitorStatus(NotificationMonitorStatus::starting);
    auto weak = m_life.weak();
    m_watch = m_monitor.watch(
        [this, weak](const DesktopNotification& n) {
            if (weak.lock()) {
                received(n);
            }
        },
        [this, weak](NotificationMonitorStatus status) {
            if (weak.lock() && m_watch.isActive()) {
                m_settings.reportMonitorStatus(status);
            }
        });
}

QString NotificationService::appLabel(const DesktopNotification& n) {
    QString name = n.appName.simplified();
    if (name.isEmpty()) {
        name = n.desktopEntry.simplified();
    }
    if (name.isEmpty()) {
        name = QStringLiteral("Unknown app");
    }
    return name.left(notificationapps::kMaxNameLength);
}

void NotificationService::received(const DesktopNotification& n) {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    if (!m_settings.desktopNotifications()) {
        return;  // switched off while it was on its way
    }
    const QString app = appLabel(n);
    auto apps = notificationapps::parse(m_settings.notificationApps());
    // A transient notification asks not to be kept: it shows, but does not enter the list.
    if (!n.transient && notificationapps::remember(apps, app)) {
        m_settings.rememberNotificationApps(notificationapps::serialise(apps));
    }
    if (!notificationapps::isAllowed(apps, app)) {
        return;
    }
    Burst& burst = m_bursts[app];
    const double now = m_loop.monotonicNow();
    while (!burst.times.empty() && burst.times.front() <= now - kBurstWindow) {
        burst.times.pop_front();
    }
    burst.times.push_back(now);
    // A critical notification is never folded away.
    const bool folds =
        !isCritical(n) && (burst.folded > 0 || static_cast<int>(burst.times.size()) > kBurstLimit);
    if (folds) {
        if (burst.folded == 0) {
            auto weak = m_life.weak();
            burst.flush = m_loop.postDelayed(kBurstWindow, [this, weak, app] {
                if (weak.lock()) {
                    flush(app);
                }
            });
        }
        ++burst.folded;
        burst.last = n;
        burst.priority = std::max(burst.priority, priorityFor(n));
    } else {
        post(n);
    }
    forgetQuietApps();
}

void NotificationService::flush(const QString& app) {
    const auto it = m_bursts.find(app);
    if (it == m_bursts.end() || it->second.folded == 0) {
        return;
    }
    Burst& burst = it->second;
    if (burst.folded == 1 && burst.last) {
        post(*burst.last);
    } else {
        m_bus.post(TransientNotification::make(
            burst.last ? symbolFor(*burst.last) : QStringLiteral("bell.fill"),
            QStringLiteral("%1 notifications from %2").arg(burst.folded).arg(app), std::nullopt,
            m_settings.toastDuration(), burst.priority));
    }
    burst.folded = 0;
    burst.last.reset();
    burst.priority = ActivityPriority::low;
}

void NotificationService::post(const DesktopNotification& n) {
    m_bus.post(toastFor(n, m_settings.toastDuration()));
}

void NotificationService::forgetQuietApps() {
    if (m_bursts.size() <= kBurstTableSize) {
        return;
    }
    const double horizon = m_loop.monotonicNow() - kBurstWindow;
    std::erase_if(m_bursts, [horizon](const auto& entry) {
        const Burst& b = entry.second;
        return b.folded == 0 && (b.times.empty() || b.times.back() <= horizon);
    });
}

TransientNotification NotificationService::toastFor(const DesktopNotification& n, double duration) {
    QString title = plainText(n.summary, kMaxTitleLength);
    if (title.isEmpty()) {
        title = appLabel(n);
    }
    const QString body = plainText(n.body, kMaxBodyLength);
    return TransientNotification::make(symbolFor(n), title,
                                       body.isEmpty() ? std::nullopt : std::optional(body),
                                       duration, priorityFor(n));
}

QString NotificationService::symbolFor(const DesktopNotification& n) {
    const QString category = n.category.section(QLatin1Char('.'), 0, 0).toLower();
    for (const auto& k : kCategories) {
        if (category == QLatin1String(k.text)) {
            return QString::fromLatin1(k.symbol);
        }
    }
    for (const QString& name : {n.appIcon, n.desktopEntry, n.appName}) {
        // A file path or URL says nothing about what the notification is.
        if (name.contains(QLatin1Char('/'))) {
            continue;
        }
        const QString lower = name.toLower();
        for (const auto& k : kNameWords) {
            if (lower.contains(QLatin1String(k.text))) {
                return QString::fromLatin1(k.symbol);
            }
        }
    }
    return QStringLiteral("bell.fill");
}

QString NotificationService::plainText(const QString& markup, int maxLength) {
    // A tag opens with a letter or a slash: "a < b" is text.
    static const QRegularExpression tag(QStringLiteral("</?[A-Za-z][^<>]*>"));
    static const QRegularExpression control(QStringLiteral("[\\x{0}-\\x{8}\\x{b}\\x{e}-\\x{1f}]"));
    QString text = markup;
    text.remove(tag);
    text = decodeEntities(text);
    text.remove(control);
    text = text.simplified();
    if (text.size() > maxLength) {
        qsizetype cut = std::max(0, maxLength - 1);
        if (cut > 0 && text.at(cut).isLowSurrogate()) {
            --cut;  // never split a character in two
        }
        text = text.left(cut).trimmed() + QChar(0x2026);
    }
    return text;
}

}  // namespace korvo
