// Media in browser tabs: the browser table, the tab scan, its answers, and naming the site.
#include "MediaService.h"

#include "TextTrim.h"

#include <QUrl>
#include <QUrlQuery>

#include <cmath>

namespace korvo {

namespace {

constexpr double kScanTimeout = 3.0;

const QString kProbeSeparator = QStringLiteral("~|~");

// The sites whose tabs count as media, matched by containment in the tab's address.
const QString kWatchPage = QStringLiteral("youtube.com/watch");
const QString kMusicVideoHost = QStringLiteral("music.youtube.com");
const QString kAudioSite = QStringLiteral("soundcloud.com");
const QString kWebPlayerHost = QStringLiteral("open.spotify.com");
const QString kVideoSite = QStringLiteral("youtube.com");
const QString kThumbnailEndpoint = QStringLiteral("https://i.ytimg.com");

QString escapeQuotes(QString script) {
    return script.replace(QLatin1Char('"'), QStringLiteral("\\\""));
}

QString tellBrowser(const MediaService::BrowserApp& app) {
    return QStringLiteral("tell application \"") + app.appName +
           QStringLiteral(
               "\"\n    repeat with w in windows\n        repeat with t in tabs of w\n"
               "            try\n                set u to URL of t\n                if ");
}

}  // namespace

const std::vector<MediaService::BrowserApp>& MediaService::browsers() {
    static const std::vector<BrowserApp> table{
        {QString::fromLatin1(bundle::chrome), QStringLiteral("Google Chrome"), false},
        {QString::fromLatin1(bundle::brave), QStringLiteral("Brave Browser"), false},
        {QString::fromLatin1(bundle::edge), QStringLiteral("Microsoft Edge"), false},
        {QString::fromLatin1(bundle::safari), QStringLiteral("Safari"), true},
    };
    return table;
}

const QString& MediaService::probeJS() {
    static const QString text = QStringLiteral(
        "(function(){var v=document.querySelector('video')||document.querySelector('audio');"
        "if(!v)return '';var m=navigator.mediaSession?navigator.mediaSession.metadata:null;"
        "var t=m&&m.title?m.title:document.title;var a=m&&m.artist?m.artist:'';"
        "var al=m&&m.album?m.album:'';var art='';"
        "if(m&&m.artwork&&m.artwork.length){art=m.artwork[m.artwork.length-1].src}"
        "return [t,a,al,v.duration&&isFinite(v.duration)?v.duration:0,v.currentTime||0,"
        "!v.paused,v.volume,art].join('~|~')})()");
    return text;
}

const QStringList& MediaService::siteMarkers() {
    static const QStringList markers{kWatchPage, kMusicVideoHost, kAudioSite, kWebPlayerHost};
    return markers;
}

QString MediaService::urlCondition() {
    QStringList tests;
    for (const QString& marker : siteMarkers()) {
        tests << QStringLiteral("u contains \"") + marker + QLatin1Char('"');
    }
    return tests.join(QStringLiteral(" or "));
}

QString MediaService::browserScanScript(const BrowserApp& app) {
    const QString probe = escapeQuotes(probeJS());
    const QString pageLine =
        app.isSafari
            ? QStringLiteral("set r to do JavaScript \"") + probe + QStringLiteral("\" in t")
            : QStringLiteral("set r to execute t javascript \"") + probe + QLatin1Char('"');
    const QString titleOf =
        app.isSafari ? QStringLiteral("name of t") : QStringLiteral("title of t");
    return tellBrowser(app) + urlCondition() +
           QStringLiteral(" then\n                    try\n                        ") + pageLine +
           QStringLiteral(
               "\n                        if r is not missing value and r is not \"\" then "
               "return (r as text) & \"~|~JS~|~\" & u\n                    end try\n"
               "                    return (") +
           titleOf +
           QStringLiteral(
               ") & \"~|~TAB~|~\" & u\n                end if\n            end try\n"
               "        end repeat\n    end repeat\n    return \"\"\nend tell");
}

QString MediaService::browserJSScript(const BrowserApp& app, const QString& pageScript) {
    const QString escaped = escapeQuotes(pageScript);
    const QString line =
        app.isSafari ? QStringLiteral("do JavaScript \"") + escaped + QStringLiteral("\" in t")
                     : QStringLiteral("execute t javascript \"") + escaped + QLatin1Char('"');
    return tellBrowser(app) + urlCondition() + QStringLiteral(" then\n                    ") +
           line +
           QStringLiteral(
               "\n                    return \"ok\"\n                end if\n            end try\n"
               "        end repeat\n    end repeat\n    return \"\"\nend tell");
}

std::optional<NowPlayingInfo> MediaService::readBrowsers(ScriptBridge& bridge, bool browserMedia,
                                                         std::optional<BrowserApp>& found) {
    if (!browserMedia) {
        return std::nullopt;
    }
    for (const BrowserApp& app : browsers()) {
        if (!bridge.isRunning(app.bundleID)) {
            continue;
        }
        if (auto reading = readBrowser(bridge, app)) {
            found = app;
            return reading;
        }
    }
    return std::nullopt;
}

std::optional<NowPlayingInfo> MediaService::readBrowser(ScriptBridge& bridge,
                                                        const BrowserApp& app) {
    const auto result = bridge.run(ScriptRequest{
        browserScanScript(app), intent::BrowserScan{app.bundleID, siteMarkers()}, kScanTimeout});
    if (!result || !result->text || result->text->isEmpty()) {
        return std::nullopt;
    }
    return parseBrowserAnswer(*result->text);
}

std::optional<NowPlayingInfo> MediaService::parseBrowserAnswer(const QString& answer) {
    const QStringList f = answer.split(kProbeSeparator, Qt::KeepEmptyParts);
    NowPlayingInfo info;
    info.sourceApp = MediaSource::browser;
    if (f.size() >= 10 && f[8] == QLatin1String("JS")) {
        if (!f[1].isEmpty()) {
            info.title = f[0];
            info.artist = f[1];
        } else {
            const TabTitle parsed = parseTabTitle(f[0]);
            info.title = parsed.title;
            info.artist = parsed.artist;
        }
        if (!f[2].isEmpty()) {
            info.album = f[2];
        }
        info.artworkURL = f[7].isEmpty() ? youtubeThumbnail(f[9]) : std::optional(f[7]);
        info.isPlaying = f[5] == QLatin1String("true");
        info.duration = parseNumber(f[3]).value_or(0);
        info.elapsed = parseNumber(f[4]).value_or(0);
        info.sourceLabel = siteName(f[9]);
        info.volume = parseNumber(f[6]);  // the element's own 0-1 level
        return info;
    }
    if (f.size() >= 3 && f[1] == QLatin1String("TAB")) {
        const TabTitle parsed = parseTabTitle(f[0]);
        if (parsed.title.isEmpty()) {
            return std::nullopt;
        }
        info.title = parsed.title;
        info.artist = parsed.artist;
        info.artworkURL = youtubeThumbnail(f[2]);
        info.isPlaying = true;  // a media tab the page script could not read counts as playing
        info.sourceLabel = siteName(f[2]);
        return info;
    }
    return std::nullopt;
}

MediaService::TabTitle MediaService::parseTabTitle(const QString& title) {
    static const QStringList suffixes{
        QStringLiteral(" - YouTube Music"), QStringLiteral(" | YouTube Music"),
        QStringLiteral(" - YouTube"),       QStringLiteral(" | YouTube"),
        QStringLiteral(" | SoundCloud"),    QStringLiteral(" - SoundCloud"),
        QStringLiteral(" | Spotify"),       QStringLiteral(" - Spotify"),
    };
    QString text = title;
    for (const QString& suffix : suffixes) {
        if (text.endsWith(suffix)) {
            text.chop(suffix.size());
            break;
        }
    }
    // An unread counter such as "(3) " in front of the title.
    if (text.startsWith(QLatin1Char('(')) && text.contains(QLatin1Char(')'))) {
        text = trimSpacesAndTabs(text.mid(text.indexOf(QLatin1Char(')')) + 1));
    }
    const QString dash = QStringLiteral(" - ");
    QStringList parts = text.split(dash, Qt::KeepEmptyParts);
    if (parts.size() < 2) {
        return {text, QString()};
    }
    const QString artist = parts.takeFirst();
    return {parts.join(dash), artist};
}

QString MediaService::siteName(const QString& url) {
    if (url.contains(kMusicVideoHost)) {
        return QStringLiteral("YouTube Music");
    }
    if (url.contains(kVideoSite)) {
        return QStringLiteral("YouTube");
    }
    if (url.contains(kAudioSite)) {
        return QStringLiteral("SoundCloud");
    }
    if (url.contains(kWebPlayerHost)) {
        return QStringLiteral("Spotify Web");
    }
    return QStringLiteral("Browser");
}

std::optional<QString> MediaService::youtubeThumbnail(const QString& url) {
    if (!url.contains(kVideoSite)) {
        return std::nullopt;
    }
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || !parsed.hasQuery()) {
        return std::nullopt;
    }
    const QUrlQuery query(parsed);
    for (const auto& [name, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (name == QLatin1String("v")) {
            if (value.isEmpty()) {
                return std::nullopt;
            }
            return kThumbnailEndpoint + QStringLiteral("/vi/") + value +
                   QStringLiteral("/mqdefault.jpg");
        }
    }
    return std::nullopt;
}

const QString& MediaService::pageToggleJS() {
    static const QString text = QStringLiteral(
        "var v=document.querySelector('video')||document.querySelector('audio');"
        "if(v){if(v.paused){v.play()}else{v.pause()}}");
    return text;
}

const QString& MediaService::pageNextJS() {
    static const QString text = QStringLiteral(
        "var b=document.querySelector('.ytp-next-button')||"
        "document.querySelector('tp-yt-paper-icon-button.next-button')||"
        "document.querySelector('.next-button');if(b){b.click()}else{throw 1}");
    return text;
}

const QString& MediaService::pagePreviousJS() {
    static const QString text = QStringLiteral(
        "var b=document.querySelector('.ytp-prev-button')||"
        "document.querySelector('tp-yt-paper-icon-button.previous-button')||"
        "document.querySelector('.previous-button');if(b){b.click()}else{throw 1}");
    return text;
}

std::optional<QString> MediaService::pageSeekJS(double seconds) {
    if (!std::isfinite(seconds)) {
        return std::nullopt;
    }
    // Adding 0.0 turns a truncated -0 into 0.
    return QStringLiteral(
               "var v=document.querySelector('video')||document.querySelector('audio');"
               "if(v){v.currentTime=") +
           QString::number(std::trunc(seconds) + 0.0, 'f', 0) + QLatin1Char('}');
}

std::optional<QString> MediaService::pageVolumeJS(double level) {
    const auto clamped = clampLevel(level);
    if (!clamped) {
        return std::nullopt;
    }
    return QStringLiteral(
               "var v=document.querySelector('video')||document.querySelector('audio');"
               "if(v){v.volume=") +
           QString::asprintf("%.2f", *clamped) + QLatin1Char('}');
}

}  // namespace korvo
