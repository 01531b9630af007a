#include "Theme.h"

#include "settings/Preferences.h"

#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace korvo {

namespace {

QColor white(double alpha) {
    QColor c(Qt::white);
    c.setAlphaF(static_cast<float>(alpha));
    return c;
}

}  // namespace

QColor Theme::islandColor() {
    return QColor(Qt::black);
}

QColor Theme::secondaryText() {
    return white(0.6);
}

ElementFill Theme::elementBackground(const ViewPreferences& settings) {
    const QString style = settings.islandStyle();
    if (style == QLatin1String("graphite")) {
        return {white(0.11), white(0.11), false};
    }
    if (style == QLatin1String("gradient")) {
        return {white(0.15), white(0.04), true};
    }
    return {white(0.06), white(0.06), false};
}

QColor Theme::accent(const QImage* image) {
    if (!image || image->isNull() || image->width() <= 0 || image->height() <= 0) {
        return QColor(Qt::white);
    }
    // An area average over premultiplied pixels, the way compositing filters average: a
    // translucent pixel counts with its alpha, so transparency darkens the result. 16 bits per
    // channel keeps the premultiplication from rounding.
    const QImage pixels = image->convertToFormat(QImage::Format_RGBA64_Premultiplied);
    std::uint64_t sum[3] = {0, 0, 0};
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgba64*>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            sum[0] += row[x].red();
            sum[1] += row[x].green();
            sum[2] += row[x].blue();
        }
    }
    const double count = static_cast<double>(pixels.width()) * pixels.height();
    // The average lands in one 8-bit pixel before it is read back.
    const auto channel = [&](int i) {
        const double mean = static_cast<double>(sum[i]) / count / 65535.0;
        return std::round(mean * 255.0) / 255.0;
    };
    const QColor average =
        QColor::fromRgbF(static_cast<float>(channel(0)), static_cast<float>(channel(1)),
                         static_cast<float>(channel(2)), 1.0F);
    float h = 0;
    float s = 0;
    float b = 0;
    average.getHsvF(&h, &s, &b);
    if (h < 0) {
        h = 0;  // achromatic
    }
    const float saturation = std::min(s * 1.25F, 1.0F);
    const float brightness = std::max(b, 0.72F);
    return QColor::fromHsvF(h, saturation, brightness, 1.0F).toRgb();
}

}  // namespace korvo
