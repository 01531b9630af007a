#include "DevicesExpandedView.h"

#include "ui/cards/CardPieces.h"
#include "ui/style/MediumRows.h"
#include "ui/style/Palette.h"
#include "ui/style/Theme.h"

#include <algorithm>

namespace korvo {

using namespace ui;

namespace {

constexpr std::size_t kMaxRows = 5;
constexpr double kBarWidth = 34;
constexpr double kMinFill = 2;  // an empty battery still shows a sliver of colour

View batteryGroup(const ConnectedDeviceInfo& device, int level) {
    const QColor colour = deviceBatteryColor(level);
    Views parts;
    if (device.isCharging.value_or(false)) {
        parts.push_back(symbol(QStringLiteral("bolt.fill"), {8}, palette::green())
                            .accessibilityLabel(QStringLiteral("Charging")));
    }
    parts.push_back(
        zstack(Alignment::leading(), {capsule(Fill::solid(withAlpha(Qt::white, 0.15))),
                                      capsule(Fill::solid(colour)).frame(batteryBarFill(level), 4)})
            .frame(kBarWidth, 4, Alignment::leading()));
    parts.push_back(text(QString::number(level) + QLatin1Char('%'), {10, Weight::bold}, colour)
                        .frame(32, std::nullopt, Alignment::trailing()));
    return hstack(9, VAlign::center, parts);
}

// What the glyph of a device shows, in words.
QString kindName(ConnectedDeviceInfo::Kind kind) {
    using Kind = ConnectedDeviceInfo::Kind;
    switch (kind) {
        case Kind::iphone:
            return QStringLiteral("Phone");
        case Kind::ipad:
            return QStringLiteral("Tablet");
        case Kind::watch:
            return QStringLiteral("Watch");
        case Kind::airpods:
        case Kind::airpodsPro:
            return QStringLiteral("Earbuds");
        case Kind::airpodsMax:
        case Kind::headphones:
            return QStringLiteral("Headphones");
        case Kind::keyboard:
            return QStringLiteral("Keyboard");
        case Kind::mouse:
            return QStringLiteral("Mouse");
        case Kind::trackpad:
            return QStringLiteral("Trackpad");
        case Kind::other:
            break;
    }
    return QStringLiteral("Device");
}

}  // namespace

double batteryBarFill(int level) {
    return std::clamp(kBarWidth * level / 100.0, kMinFill, kBarWidth);
}

View deviceRow(const PresentationContext& ctx, const ConnectedDeviceInfo& device) {
    Views row{symbol(device.symbol(), {12}, palette::teal())
                  .accessibilityLabel(kindName(device.kind))
                  .frame(22, std::nullopt),
              text(device.name, {11, Weight::semibold}).lineLimit(1), spacer()};
    if (device.battery) {
        row.push_back(batteryGroup(device, *device.battery));
    } else {
        row.push_back(
            text(device.isLinkActive ? QStringLiteral("Connected") : QStringLiteral("Paired"),
                 {9, Weight::medium}, Theme::secondaryText()));
    }
    return hstack(9, VAlign::center, row)
        .padding(9, 0, 9, 0)
        .frame(std::nullopt, 28)
        .background(shape(Outline::rounded(7), elementFill(ctx)))
        .opacity(device.isLinkActive ? 1.0 : 0.65);
}

View devicesExpandedView(const PresentationContext& ctx,
                         const std::vector<ConnectedDeviceInfo>& devices) {
    Views rows;
    for (std::size_t i = 0; i < std::min(devices.size(), kMaxRows); ++i) {
        rows.push_back(cascade(ctx.ui, QStringLiteral("devices.") + devices[i].id,
                               static_cast<int>(i), deviceRow(ctx, devices[i])));
    }
    return vstack(6, HAlign::leading, rows).id(QStringLiteral("card.devices"));
}

}  // namespace korvo
