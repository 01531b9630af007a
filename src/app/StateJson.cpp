#include "StateJson.h"

#include <QJsonArray>

namespace korvo {

namespace {

QString priorityName(ActivityPriority p) {
    switch (p) {
        case ActivityPriority::low:
            return QStringLiteral("low");
        case ActivityPriority::normal:
            return QStringLiteral("normal");
        case ActivityPriority::high:
            return QStringLiteral("high");
        case ActivityPriority::critical:
            return QStringLiteral("critical");
    }
    return {};
}

QJsonValue optionalString(const std::optional<QString>& s) {
    return s ? QJsonValue(*s) : QJsonValue(QJsonValue::Null);
}

template <typename T>
QJsonValue optionalNumber(const std::optional<T>& v) {
    return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
}

QString colorName(const QColor& c) {
    return c.name(QColor::HexArgb);
}

QJsonArray frameArray(const QRectF& r) {
    return QJsonArray{r.x(), r.y(), r.width(), r.height()};
}

void collect(const ui::Node& n, QJsonArray& out) {
    using K = ui::Node::Kind;
    if (n.kind == K::opacity && n.opacity <= 0.001) {
        return;  // invisible placeholders are not read by anyone
    }
    if (n.kind == K::text || n.kind == K::symbol) {
        out.append(QJsonObject{
            {QStringLiteral("type"),
             n.kind == K::text ? QStringLiteral("text") : QStringLiteral("symbol")},
            {n.kind == K::text ? QStringLiteral("text") : QStringLiteral("name"), n.text},
            {QStringLiteral("color"), colorName(n.color)},
            {QStringLiteral("size"), n.font.size},
            {QStringLiteral("frame"), frameArray(n.frame)}});
    }
    for (const auto& c : n.children) {
        if (c) {
            collect(*c, out);
        }
    }
}

}  // namespace

QJsonObject nowPlayingJson(const NowPlayingInfo& p) {
    return {{"type", "nowPlaying"},
            {"title", p.title},
            {"artist", p.artist},
            {"album", optionalString(p.album)},
            {"hasArtwork", p.artwork != nullptr},
            {"artworkURL", optionalString(p.artworkURL)},
            {"isPlaying", p.isPlaying},
            {"duration", p.duration},
            {"elapsed", p.elapsed},
            {"source", rawValue(p.sourceApp)},
            {"sourceLabel", optionalString(p.sourceLabel)},
            {"volume", optionalNumber(p.volume)},
            {"capabilities", QJsonObject{{"playPause", p.canPlayPause},
                                         {"next", p.canGoNext},
                                         {"previous", p.canGoPrevious},
                                         {"seek", p.canSeek},
                                         {"volume", p.canSetVolume}}}};
}

QJsonObject payloadJson(const ActivityPayload& payload) {
    return std::visit(
        [](const auto& p) -> QJsonObject {
            using T = std::decay_t<decltype(p)>;
            if constexpr (std::is_same_v<T, NowPlayingInfo>) {
                return nowPlayingJson(p);
            } else if constexpr (std::is_same_v<T, BatteryInfo>) {
                return {{"type", "battery"},
                        {"percentage", p.percentage},
                        {"isCharging", p.isCharging},
                        {"timeRemaining", optionalNumber(p.timeRemaining)}};
            } else if constexpr (std::is_same_v<T, BluetoothDeviceInfo>) {
                return {{"type", "bluetooth"},
                        {"name", p.name},
                        {"icon", p.icon},
                        {"batteryLevel", optionalNumber(p.batteryLevel)}};
            } else if constexpr (std::is_same_v<T, CalendarEventInfo>) {
                return {{"type", "calendar"},
                        {"title", p.title},
                        {"start", p.start.toString(Qt::ISODate)},
                        {"end", p.end.toString(Qt::ISODate)},
                        {"joinURL", p.joinURL ? QJsonValue(p.joinURL->toString()) : QJsonValue()},
                        {"provider", optionalString(p.provider)},
                        {"color", p.color ? QJsonValue(colorName(*p.color)) : QJsonValue()}};
            } else if constexpr (std::is_same_v<T, ClipboardInfo>) {
                return {{"type", "clipboard"},
                        {"latest", p.latest},
                        {"count", p.count},
                        {"isOTP", p.isOTP}};
            } else if constexpr (std::is_same_v<T, std::vector<ConnectedDeviceInfo>>) {
                QJsonArray devices;
                for (const auto& d : p) {
                    devices.append(QJsonObject{
                        {"id", d.id},
                        {"name", d.name},
                        {"kind", rawValue(d.kind)},
                        {"symbol", d.symbol()},
                        {"battery", optionalNumber(d.battery)},
                        {"isCharging", d.isCharging ? QJsonValue(*d.isCharging) : QJsonValue()},
                        {"isLinkActive", d.isLinkActive}});
                }
                return {{"type", "devices"}, {"devices", devices}};
            } else if constexpr (std::is_same_v<T, GenericPayload>) {
                return {{"type", "generic"},
                        {"icon", p.icon},
                        {"title", p.title},
                        {"subtitle", optionalString(p.subtitle)},
                        {"progress", optionalNumber(p.progress)}};
            } else {
                return {{"type", "systemStats"}};
            }
        },
        payload);
}

QJsonObject stateJson(IslandState state, const ActivityEngine& engine) {
    QJsonArray activities;
    for (const auto& a : engine.activities.get()) {
        activities.append(QJsonObject{{"id", a.id},
                                      {"kind", rawValue(a.kind)},
                                      {"priority", priorityName(a.priority)},
                                      {"startedAt", a.startedAt.toString(Qt::ISODateWithMs)},
                                      {"payload", payloadJson(a.payload)}});
    }
    QJsonArray toasts;
    for (const auto& t : engine.toastQueue.get()) {
        toasts.append(QJsonObject{{"id", t.id.toString(QUuid::WithoutBraces)},
                                  {"icon", t.icon},
                                  {"title", t.title},
                                  {"subtitle", optionalString(t.subtitle)},
                                  {"duration", t.duration},
                                  {"priority", priorityName(t.priority)}});
    }
    const auto& focused = engine.focused.get();
    return {{"state", toString(state)},
            {"focused", focused ? QJsonValue(focused->id) : QJsonValue(QJsonValue::Null)},
            {"activities", activities},
            {"toasts", toasts}};
}

QJsonObject treeJson(const ui::Node& root) {
    QJsonArray items;
    collect(root, items);
    return {{"items", items}};
}

}  // namespace korvo
