#include "SettingsStore.h"

#include "platform/LoginItem.h"
#include "platform/SystemLog.h"

#include <QDir>

namespace korvo {

namespace {

template <typename T>
T convert(const QVariant& v);
template <>
double convert<double>(const QVariant& v) {
    return v.toDouble();
}
template <>
bool convert<bool>(const QVariant& v) {
    return v.toBool();
}
template <>
int convert<int>(const QVariant& v) {
    return v.toInt();
}
template <>
QString convert<QString>(const QVariant& v) {
    return v.toString();
}

}  // namespace

SettingsStore::SettingsStore(QString path, MainLoop& loop, EventBus& bus, LoginItem* loginItem,
                             SystemLog* systemLog)
    : m_settings(std::make_unique<QSettings>(path, QSettings::IniFormat)),
      m_loop(loop),
      m_bus(bus),
      m_loginItem(loginItem),
      m_systemLog(systemLog) {}

SettingsStore::~SettingsStore() {
    m_settings->sync();
}

QString SettingsStore::defaultPath() {
    QString base = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.config");
    }
    return base + QStringLiteral("/korvo/korvo.conf");
}

QVariant SettingsStore::read(const char* key, const QVariant& fallback) const {
    const QString k = QString::fromLatin1(key);
    if (!m_settings->contains(k)) {
        return fallback;
    }
    const QVariant v = m_settings->value(k);
    // A value that does not convert (hand-edited file) reads as the default.
    return v.canConvert(fallback.metaType()) ? v : fallback;
}

void SettingsStore::write(const char* key, const QVariant& value) {
    const QString k = QString::fromLatin1(key);
    m_settings->setValue(k, value);
    m_settings->sync();
    if (k == QLatin1String("launchAtLogin")) {
        updateLoginItem();
    } else if (k == QLatin1String("systemCardEnabled")) {
        updateSystemCard();
    }
    m_changed.send(k);
}

#define KORVO_DEFINE_SETTING(Type, key, Suffix, def)                                        \
    Type SettingsStore::key() const {                                                       \
        return convert<Type>(read(#key, QVariant(Type(def))));                              \
    }                                                                                       \
    void SettingsStore::set##Suffix(Type value) {                                           \
        write(#key, QVariant::fromValue(value));                                            \
    }                                                                                       \
    Binding<Type> SettingsStore::key##Binding() {                                           \
        return Binding<Type>{[this] { return key(); }, [this](Type v) { set##Suffix(v); }}; \
    }
KORVO_SETTINGS(KORVO_DEFINE_SETTING)
#undef KORVO_DEFINE_SETTING

const std::vector<QString>& SettingsStore::keys() {
    static const std::vector<QString> all = {
#define KORVO_KEY_NAME(Type, key, Suffix, def) QStringLiteral(#key),
        KORVO_SETTINGS(KORVO_KEY_NAME)
#undef KORVO_KEY_NAME
    };
    return all;
}

bool SettingsStore::isStored(const QString& key) const {
    return m_settings->contains(key);
}

const std::vector<std::pair<QString, QColor>>& SettingsStore::accentChoices() {
    static const std::vector<std::pair<QString, QColor>> choices = {
        {QStringLiteral("white"), QColor(255, 255, 255)},
        {QStringLiteral("blue"), QColor(0, 122, 255)},
        {QStringLiteral("purple"), QColor(175, 82, 222)},
        {QStringLiteral("pink"), QColor(255, 45, 85)},
        {QStringLiteral("green"), QColor(52, 199, 89)},
        {QStringLiteral("orange"), QColor(255, 149, 0)},
        {QStringLiteral("cyan"), QColor(50, 173, 230)},
    };
    return choices;
}

QColor SettingsStore::fixedAccentColor(const QString& name) {
    for (const auto& [choice, color] : accentChoices()) {
        if (choice == name) {
            return color;
        }
    }
    return QColor(255, 255, 255);
}

void SettingsStore::updateLoginItem() {
    if (!m_loginItem) {
        return;
    }
    // The stored value keeps what the user chose even when the platform refuses.
    if (auto error = m_loginItem->setRegistered(launchAtLogin()); error && m_systemLog) {
        m_systemLog->error(QStringLiteral("Login item error: ") + *error);
    }
}

void SettingsStore::updateSystemCard() {
    if (systemCardEnabled()) {
        Activity card;
        card.id = QStringLiteral("system.stats");
        card.kind = Activity::Kind::custom;
        card.priority = ActivityPriority::low;
        card.startedAt = m_loop.wallNow();
        card.payload = SystemStatsPayload{};
        m_bus.post(ActivityStarted{card});
    } else {
        m_bus.post(ActivityEnded{QStringLiteral("system.stats")});
    }
}

}  // namespace korvo
