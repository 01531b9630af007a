#include "NotificationApps.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace korvo::notificationapps {

namespace {

auto byName(const QString& name) {
    return [&name](const NotificationApp& app) { return app.name == name; };
}

}  // namespace

std::vector<NotificationApp> parse(const QString& stored) {
    std::vector<NotificationApp> apps;
    const auto document = QJsonDocument::fromJson(stored.toUtf8());
    for (const auto& entry : document.array()) {
        const QJsonObject o = entry.toObject();
        const QString name = o.value(QLatin1String("name")).toString().left(kMaxNameLength);
        if (name.isEmpty() || std::any_of(apps.begin(), apps.end(), byName(name)) ||
            apps.size() >= kMaxApps) {
            continue;
        }
        apps.push_back({name, o.value(QLatin1String("allowed")).toBool(true)});
    }
    return apps;
}

QString serialise(const std::vector<NotificationApp>& apps) {
    QJsonArray array;
    for (const auto& app : apps) {
        array.append(QJsonObject{{QStringLiteral("name"), app.name},
                                 {QStringLiteral("allowed"), app.allowed}});
    }
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

bool isAllowed(const std::vector<NotificationApp>& apps, const QString& name) {
    const QString key = name.left(kMaxNameLength);
    const auto it = std::find_if(apps.begin(), apps.end(), byName(key));
    return it == apps.end() || it->allowed;
}

bool remember(std::vector<NotificationApp>& apps, const QString& name) {
    const QString key = name.left(kMaxNameLength);
    if (key.isEmpty() || apps.size() >= kMaxApps ||
        std::any_of(apps.begin(), apps.end(), byName(key))) {
        return false;
    }
    apps.push_back({key, true});
    return true;
}

bool setAllowed(std::vector<NotificationApp>& apps, const QString& name, bool allowed) {
    const auto it = std::find_if(apps.begin(), apps.end(), byName(name));
    if (it == apps.end() || it->allowed == allowed) {
        return false;
    }
    it->allowed = allowed;
    return true;
}

}  // namespace korvo::notificationapps
