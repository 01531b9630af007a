#include "Symbols.h"

#include <QHash>
#include <QLoggingCategory>
#include <QPainter>
#include <QSet>
#include <QSvgRenderer>

#include <map>
#include <memory>

Q_LOGGING_CATEGORY(lcSymbols, "korvo.symbols")

namespace korvo::ui {

namespace {

// Symbol name → bootstrap-icons file (without ".svg"). The build reads this table too and compiles
// exactly these files into the program (src/ui/kit/CMakeLists.txt), so keep one entry a line.
const std::map<QString, QString>& table() {
    static const std::map<QString, QString> t = {
        {"airpods", "earbuds"},
        {"airpods.max", "headphones"},
        {"airpods.pro", "earbuds"},
        {"applewatch", "smartwatch"},
        {"arrow.down.circle.fill", "arrow-down-circle-fill"},
        {"arrow.left.arrow.right", "arrow-left-right"},
        {"backward.fill", "skip-backward-fill"},
        {"battery.100.bolt", "battery-charging"},
        {"battery.100percent", "battery-full"},
        {"battery.25", "battery"},
        {"battery.25percent", "battery"},
        {"battery.50percent", "battery-half"},
        {"battery.75", "battery-half"},
        {"battery.75percent", "battery-half"},
        {"bell.fill", "bell-fill"},
        {"bluetooth", "bluetooth"},
        {"bluetooth.slash", "bluetooth"},
        {"bolt.fill", "lightning-charge-fill"},
        {"bolt.slash.fill", "lightning-fill"},
        {"calendar", "calendar-event"},
        {"camera.viewfinder", "camera"},
        {"capsule.fill", "capsule"},
        {"checkmark", "check-lg"},
        {"checkmark.circle.fill", "check-circle-fill"},
        {"circle.fill", "circle-fill"},
        {"cpu", "cpu"},
        {"cpu.fill", "gpu-card"},
        {"doc.on.clipboard.fill", "clipboard-fill"},
        {"envelope.fill", "envelope-fill"},
        {"externaldrive", "device-hdd"},
        {"flame.fill", "fire"},
        {"forward.fill", "skip-forward-fill"},
        {"gamecontroller.fill", "controller"},
        {"gauge.with.dots.needle.67percent", "speedometer2"},
        {"gearshape.fill", "gear-fill"},
        {"globe", "globe"},
        {"headphones", "headphones"},
        {"info", "info-lg"},
        {"info.circle", "info-circle"},
        {"internaldrive", "device-ssd"},
        {"ipad", "tablet"},
        {"iphone.gen3", "phone"},
        {"key.fill", "key-fill"},
        {"keyboard", "keyboard"},
        {"keyboard.fill", "keyboard-fill"},
        {"link", "link-45deg"},
        {"macbook.and.iphone", "laptop"},
        {"magicmouse.fill", "mouse-fill"},
        {"memorychip", "memory"},
        {"message.fill", "chat-fill"},
        {"minus.plug.fill", "plug"},
        {"music.note", "music-note-beamed"},
        {"music.note.house.fill", "music-note-list"},
        {"network", "hdd-network"},
        {"paintbrush.fill", "brush-fill"},
        {"pause.fill", "pause-fill"},
        {"pencil.tip", "pen-fill"},
        {"person.fill", "person-fill"},
        {"phone.fill", "telephone-fill"},
        {"photo.on.rectangle", "images"},
        {"play.circle.fill", "play-circle-fill"},
        {"play.fill", "play-fill"},
        {"powerplug.fill", "plug-fill"},
        {"rectangle.fill", "square-fill"},
        {"s.circle.fill", "spotify"},
        {"speaker.slash.fill", "volume-mute-fill"},
        {"speaker.wave.1.fill", "volume-off-fill"},
        {"speaker.wave.2.fill", "volume-down-fill"},
        {"speaker.wave.3.fill", "volume-up-fill"},
        {"star.fill", "star-fill"},
        {"thermometer.high", "thermometer-high"},
        {"thermometer.low", "thermometer-low"},
        {"thermometer.medium", "thermometer-half"},
        {"video.fill", "camera-video-fill"},
        {"vm.swapusage", "arrow-repeat"},
        {"wave.3.right.circle", "broadcast"},
        {"wave.3.right.circle.fill", "broadcast-pin"},
        {"waveform", "soundwave"},
        {"wifi", "wifi"},
        {"xmark", "x-lg"},
    };
    return t;
}

struct Cache {
    QHash<QString, std::shared_ptr<QSvgRenderer>> renderers;
    QHash<QString, QImage> images;
    QSet<QString> reportedUnknown;
};

Cache& cache() {
    static Cache c;
    return c;
}

}  // namespace

QString Symbols::resourcePrefix() {
    return QStringLiteral(":/korvo/symbols/");
}

std::optional<QString> Symbols::fileFor(const QString& name) {
    const auto& t = table();
    const auto it = t.find(name);
    if (it == t.end()) {
        return std::nullopt;
    }
    return resourcePrefix() + it->second + QStringLiteral(".svg");
}

std::vector<QString> Symbols::knownNames() {
    std::vector<QString> names;
    for (const auto& [name, file] : table()) {
        names.push_back(name);
    }
    return names;
}

QImage Symbols::render(const QString& name, double size, const QColor& color, double dpr) {
    auto& c = cache();
    const int px = std::max(1, static_cast<int>(std::lround(size * dpr)));
    const QString key = name + QLatin1Char('|') + QString::number(px) + QLatin1Char('|') +
                        QString::number(color.rgba(), 16);
    if (auto it = c.images.constFind(key); it != c.images.constEnd()) {
        return *it;
    }
    const auto file = fileFor(name);
    if (!file) {
        if (!c.reportedUnknown.contains(name)) {
            c.reportedUnknown.insert(name);
            qCWarning(lcSymbols) << "unknown symbol" << name;
        }
        return {};
    }
    auto renderer = c.renderers.value(*file);
    if (!renderer) {
        renderer = std::make_shared<QSvgRenderer>(*file);
        c.renderers.insert(*file, renderer);
    }
    if (!renderer->isValid()) {
        if (!c.reportedUnknown.contains(name)) {
            c.reportedUnknown.insert(name);
            qCWarning(lcSymbols) << "symbol not compiled in or unreadable" << *file;
        }
        return {};
    }
    QImage img(px, px, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        renderer->render(&p, QRectF(0, 0, px, px));
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(img.rect(), color);
    }
    img.setDevicePixelRatio(dpr);
    if (c.images.size() > 512) {
        c.images.clear();  // a handful of sizes and colours are in use; never grow unbounded
    }
    c.images.insert(key, img);
    return img;
}

}  // namespace korvo::ui
