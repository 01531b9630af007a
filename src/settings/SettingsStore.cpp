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

SettingsStore::SettingsStore(QString path, LoginItem* loginItem, SystemLog* systemLog)
    : m_settings(std::make_unique<QSettings>(path, QSettings::IniFormat)),
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
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    const QString k = QString::fromLatin1(key);
    m_settings->setValue(k, value);
    m_settings->sync();
    if (k == QLatin1String("launchAtLogin")) {
        updateLoginItem();
    }
    m_changed.send(k);
}

#define KORVO_DEFINE_SETTING(Type, key, Suffix, def, reader)                                \
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
#define KORVO_KEY_NAME(Type, key, Suffix, def, reader) QStringLiteral(#key),
        KORVO_SETTINGS(KORVO_KEY_NAME)
#undef KORVO_KEY_NAME
    };
    return all;
}

std::vector<HUDStat> SettingsStore::enabledStats() const {
    const bool flags[] = {hudCPU(),     hudGPU(),     hudMemory(), hudSwap(),
                          hudStorage(), hudNetwork(), hudDisk(),   hudPower()};
    std::vector<HUDStat> on;
    for (std::size_t i = 0; i < hudstat::kAll.size(); ++i) {
        if (flags[i]) {
            on.push_back(hudstat::kAll[i]);
        }
    }
    return on;
}

bool SettingsStore::isStored(const QString& key) const {
    return m_settings->contains(key);
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

}  // namespace korvo
