// MPRIS property maps of any shape: wrong types, variants in variants, lists and maps where text
// belongs, huge strings, wild numbers. The input is a small program that builds the value tree.
#include "FuzzInput.h"
#include "platform/linux/MprisProperties.h"
#include "services/nowplaying/NowPlayingRules.h"

#include <QDBusObjectPath>
#include <QDBusVariant>

#include <cmath>
#include <cstring>

namespace {

const char* const kKeys[] = {
    "PlaybackStatus", "Metadata",      "Position",    "Rate",         "Volume",
    "CanControl",     "CanPlay",       "CanPause",    "CanGoNext",    "CanGoPrevious",
    "CanSeek",        "mpris:trackid", "xesam:title", "xesam:artist", "xesam:album",
    "mpris:length",   "mpris:artUrl",  "xesam:url",   "Playing",      "Paused",
};

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool done() const { return m_at >= m_size; }
    std::uint8_t byte() { return done() ? 0 : m_data[m_at++]; }
    QByteArray chunk(std::size_t n) {
        n = std::min(n, m_size - std::min(m_at, m_size));
        QByteArray out(reinterpret_cast<const char*>(m_data + m_at), static_cast<qsizetype>(n));
        m_at += n;
        return out;
    }
    template <typename T>
    T raw() {
        T value{};
        const QByteArray bytes = chunk(sizeof(T));
        std::memcpy(&value, bytes.constData(), static_cast<std::size_t>(bytes.size()));
        return value;
    }
    QString text() {
        const std::uint8_t n = byte();
        if (n == 255) {  // a huge string, made cheaply
            return QString(200'000 + byte() * 1000, QChar(0x266B));
        }
        if (n >= 240) {
            return QString::fromLatin1(kKeys[n % std::size(kKeys)]);
        }
        return QString::fromUtf8(chunk(n));
    }
    QVariant value(int depth) {
        if (depth > 12) {
            return {};
        }
        switch (byte() % 12) {
            case 0:
                return text();
            case 1:
                return QVariant::fromValue(raw<qlonglong>());
            case 2:
                return raw<double>();
            case 3:
                return bool(byte() & 1);
            case 4: {
                QStringList list;
                for (int i = byte() % 8; i > 0; --i) list << text();
                return list;
            }
            case 5:
                return QVariant::fromValue(QDBusVariant(value(depth + 1)));
            case 6: {
                QVariantList list;
                for (int i = byte() % 6; i > 0; --i) list << value(depth + 1);
                return list;
            }
            case 7:
                return map(depth + 1);
            case 8: {
                // Only a valid path can be made at all (the bus would refuse any other).
                QString path = QStringLiteral("/");
                for (const QChar c : text()) {
                    path += c.unicode() < 128 && c.isLetterOrNumber() ? c : QLatin1Char('_');
                }
                return QVariant::fromValue(QDBusObjectPath(path));
            }
            case 9:
                return chunk(byte());
            case 10:
                return QVariant::fromValue(raw<qulonglong>());
            default:
                return raw<float>();
        }
    }
    QVariantMap map(int depth) {
        QVariantMap m;
        for (int i = byte() % 10; i > 0 && !done(); --i) {
            const std::uint8_t k = byte();
            const QString key = k < 200 ? QString::fromLatin1(kKeys[k % std::size(kKeys)]) : text();
            m.insert(key, value(depth));
        }
        return m;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

void check(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvo;
    Reader in(data, size);
    MediaPlayer player;
    player.busName = QStringLiteral("org.mpris.MediaPlayer2.fuzz");
    player.family = static_cast<PlayerFamily>(in.byte() % 3);
    double now = 0;
    while (!in.done()) {
        now += in.byte() / 8.0;
        const QVariantMap props = in.map(0);
        const TrackMetadata meta = mpris::parseMetadata(props.value(QStringLiteral("Metadata")));
        check(std::isfinite(meta.length) && meta.length >= 0);
        mpris::applyPlayerProperties(player, props, now);
        // Whatever a player says, the reading holds finite, sane numbers.
        const double at = player.positionAt(now + in.byte());
        check(std::isfinite(at) && at >= 0);
        check(player.metadata.length <= 0 || at <= player.metadata.length);
        check(std::isfinite(player.rate) && player.rate >= 0);
        check(!player.volume || (*player.volume >= 0 && *player.volume <= 1));
        const NowPlayingInfo info = nowplaying::readingOf(player, now);
        check(std::isfinite(info.elapsed) && std::isfinite(info.duration));
        check(!info.canSeek || info.duration > 0);
        (void)nowplaying::artworkKey(info);
    }
    return 0;
}
