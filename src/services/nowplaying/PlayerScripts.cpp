// The desktop players: their reading scripts, the answers, and the control texts.
#include "MediaService.h"

#include "ArtworkImage.h"

#include <QStringList>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>

namespace korvo {

namespace {

// A read asks for the player list and then the player itself; each step is bounded on its own.
constexpr double kReadTimeout = 3.0;

const QString kFieldSeparator = QStringLiteral("||");

QString appName(MediaSource source) {
    return source == MediaSource::appleMusic ? QStringLiteral("Music") : QStringLiteral("Spotify");
}

locale_t cLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
    return c;
}

// Shortest text that reads back to the same double, always with a fractional part (42.0).
QString shortestDecimal(double value) {
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc()) {
        return {};
    }
    QString text = QString::fromLatin1(buffer, static_cast<int>(end - buffer));
    if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e'))) {
        text += QStringLiteral(".0");
    }
    return text;
}

struct PlayerFields {
    int artworkField = -1;  // -1: the player reports no artwork URL
    int volumeField = 0;
    double durationScale = 1;
    MediaSource source = MediaSource::unknown;
    const char* label = "";
};

std::optional<NowPlayingInfo> parsePlayerAnswer(const QString& answer, const PlayerFields& form) {
    if (answer.isEmpty()) {
        return std::nullopt;  // a stopped player answers with the empty text
    }
    const QStringList fields = answer.split(kFieldSeparator, Qt::KeepEmptyParts);
    if (fields.size() < 6) {
        return std::nullopt;
    }
    NowPlayingInfo info;
    info.title = fields[0];
    info.artist = fields[1];
    info.album = fields[2];
    if (form.artworkField >= 0 && fields.size() > form.artworkField &&
        !fields[form.artworkField].isEmpty()) {
        info.artworkURL = fields[form.artworkField];
    }
    info.isPlaying = fields[5] == QLatin1String("true");
    info.duration = MediaService::parseNumber(fields[3]).value_or(0) * form.durationScale;
    info.elapsed = MediaService::parseNumber(fields[4]).value_or(0);
    info.sourceApp = form.source;
    info.sourceLabel = QString::fromLatin1(form.label);
    if (fields.size() > form.volumeField) {
        if (const auto volume = MediaService::parseNumber(fields[form.volumeField])) {
            info.volume = *volume / 100;
        }
    }
    return info;
}

std::optional<QString> answerText(ScriptBridge& bridge, const QString& bundleId,
                                  const QString& script, ScriptIntent intent) {
    if (!bridge.isRunning(bundleId)) {
        return std::nullopt;
    }
    const auto result = bridge.run(ScriptRequest{script, std::move(intent), kReadTimeout});
    if (!result || !result->text || result->text->isEmpty()) {
        return std::nullopt;
    }
    return result->text;
}

}  // namespace

const QString& MediaService::spotifyScript() {
    static const QString text = QStringLiteral(
        "tell application \"Spotify\"\n"
        "    if player state is stopped then return \"\"\n"
        "    set t to name of current track\n"
        "    set a to artist of current track\n"
        "    set al to album of current track\n"
        "    set d to (duration of current track) / 1000\n"
        "    set p to player position\n"
        "    set s to (player state is playing)\n"
        "    set art to \"\"\n"
        "    try\n"
        "        set art to artwork url of current track\n"
        "    end try\n"
        "    set v to sound volume\n"
        "    return t & \"||\" & a & \"||\" & al & \"||\" & d & \"||\" & p & \"||\" & s & \"||\" & "
        "art & \"||\" & v\n"
        "end tell");
    return text;
}

const QString& MediaService::musicScript() {
    static const QString text = QStringLiteral(
        "tell application \"Music\"\n"
        "    if player state is stopped then return \"\"\n"
        "    set t to name of current track\n"
        "    set a to artist of current track\n"
        "    set al to album of current track\n"
        "    set d to duration of current track\n"
        "    set p to player position\n"
        "    set s to (player state is playing)\n"
        "    set v to sound volume\n"
        "    return t & \"||\" & a & \"||\" & al & \"||\" & d & \"||\" & p & \"||\" & s & \"||\" & "
        "v\n"
        "end tell");
    return text;
}

const QString& MediaService::musicArtworkScript() {
    static const QString text = QStringLiteral(
        "tell application \"Music\"\n"
        "    try\n"
        "        return raw data of artwork 1 of current track\n"
        "    end try\n"
        "    return \"\"\n"
        "end tell");
    return text;
}

std::optional<double> MediaService::parseNumber(const QString& text) {
    if (text.isEmpty()) {
        return std::nullopt;
    }
    switch (text.front().unicode()) {
        case ' ':
        case '\t':
        case '\n':
        case '\v':
        case '\f':
        case '\r':
            return std::nullopt;
        default:
            break;
    }
    const QByteArray bytes = text.toUtf8();
    char* end = nullptr;
    const double value = strtod_l(bytes.constData(), &end, cLocale());
    if (end != bytes.constData() + bytes.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<NowPlayingInfo> MediaService::parseSpotifyAnswer(const QString& answer) {
    // The script divides the player's milliseconds already; the volume is 0-100.
    return parsePlayerAnswer(answer, {6, 7, 1, MediaSource::spotify, "Spotify"});
}

std::optional<NowPlayingInfo> MediaService::parseMusicAnswer(const QString& answer) {
    return parsePlayerAnswer(answer, {-1, 6, 1, MediaSource::appleMusic, "Music"});
}

std::optional<NowPlayingInfo> MediaService::readSpotify(ScriptBridge& bridge) {
    const auto text = answerText(bridge, QString::fromLatin1(bundle::spotify), spotifyScript(),
                                 intent::ReadPlayer{PlayerSlot::spotify});
    return text ? parseSpotifyAnswer(*text) : std::nullopt;
}

std::optional<NowPlayingInfo> MediaService::readAppleMusic(ScriptBridge& bridge) {
    const auto text = answerText(bridge, QString::fromLatin1(bundle::music), musicScript(),
                                 intent::ReadPlayer{PlayerSlot::music});
    return text ? parseMusicAnswer(*text) : std::nullopt;
}

SharedImage MediaService::readAppleMusicArtwork(ScriptBridge& bridge) {
    const auto result = bridge.run(
        ScriptRequest{musicArtworkScript(), intent::ReadArtwork{PlayerSlot::music}, kReadTimeout});
    if (!result || result->data.isEmpty()) {
        return nullptr;
    }
    return decodeArtwork(result->data);
}

QString MediaService::artworkKey(const NowPlayingInfo& info) {
    if (info.artworkURL) {
        return *info.artworkURL;
    }
    return rawValue(info.sourceApp) + QLatin1Char('|') + info.title + QLatin1Char('|') +
           info.artist + QLatin1Char('|') + info.album.value_or(QString());
}

QString MediaService::commandScript(MediaSource source, const QString& word) {
    return QStringLiteral("tell application \"") + appName(source) + QStringLiteral("\" to ") +
           word;
}

std::optional<QString> MediaService::positionScript(MediaSource source, double seconds) {
    if (!std::isfinite(seconds)) {
        return std::nullopt;
    }
    return commandScript(source, QStringLiteral("set player position to ")) +
           shortestDecimal(seconds);
}

std::optional<double> MediaService::clampLevel(double level) {
    if (std::isnan(level)) {
        return std::nullopt;
    }
    if (level <= 0) {
        return 0.0;
    }
    return level > 1 ? 1.0 : level;
}

std::optional<QString> MediaService::volumeScript(MediaSource source, double level) {
    const auto clamped = clampLevel(level);
    if (!clamped) {
        return std::nullopt;
    }
    const int percent = static_cast<int>(*clamped * 100);  // truncated: 0.555 gives 55
    return commandScript(source, QStringLiteral("set sound volume to ")) + QString::number(percent);
}

}  // namespace korvo
