#include "ScreenshotFolderIndex.h"

#include "core/MainThread.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QTextStream>
#include <QUrl>

#include <algorithm>

namespace korvo {

namespace {

QString cleanPath(const QString& path) {
    return QDir::cleanPath(QDir(path).absolutePath());
}

bool isInside(const QString& path, const QString& home) {
    return path == home || path.startsWith(home + QLatin1Char('/'));
}

// A path as the tools write it: a file URL, "$HOME/…", "~/…" or a plain path.
QString toolPath(QString value, const QString& home) {
    value = value.trimmed();
    if (value.isEmpty()) {
        return {};
    }
    if (value.startsWith(QLatin1String("file:"))) {
        value = QUrl(value).toLocalFile();
    }
    if (value.startsWith(QLatin1String("$HOME"))) {
        value = home + value.mid(5);
    } else if (value == QLatin1String("~") || value.startsWith(QLatin1String("~/"))) {
        value = home + value.mid(1);
    }
    return QDir::isAbsolutePath(value) ? cleanPath(value) : QString();
}

// Keys of the [General] section are read without a section prefix, as QSettings sees them.
QString iniValue(const QString& file, const QStringList& keys) {
    if (!QFileInfo::exists(file)) {
        return {};
    }
    QSettings ini(file, QSettings::IniFormat);
    for (const auto& key : keys) {
        QString v = ini.value(key).toString();
        if (!v.isEmpty()) {
            return v;
        }
    }
    return {};
}

}  // namespace

ScreenshotFolderIndex::ScreenshotFolderIndex(MainLoop& loop, QString home,
                                             std::vector<Folder> folders, QObject* parent)
    : QObject(parent), m_loop(loop), m_home(cleanPath(home)) {
    for (auto& f : folders) {
        f.path = cleanPath(f.path);
        if (!isInside(f.path, m_home)) {
            continue;  // captures outside the home folder are not ours to announce
        }
        auto same = std::find_if(m_folders.begin(), m_folders.end(),
                                 [&](const Watched& w) { return w.folder.path == f.path; });
        if (same != m_folders.end()) {
            same->folder.anyImage = same->folder.anyImage || f.anyImage;
        } else {
            Watched w;
            w.folder = f;
            m_folders.push_back(std::move(w));
        }
    }
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this,
            &ScreenshotFolderIndex::directoryChanged);
}

ScreenshotFolderIndex::~ScreenshotFolderIndex() = default;

Subscription ScreenshotFolderIndex::watch(std::function<void(const QStringList&)> added) {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    auto sub = m_added.subscribe(std::move(added));
    begin();
    return sub;
}

std::vector<ScreenshotFolderIndex::Folder> ScreenshotFolderIndex::standardFolders(
    const QString& home, const QString& configHome) {
    const QString pictures = picturesFolder(home, configHome);
    std::vector<Folder> folders = {
        {home, false},
        {pictures, false},
        {pictures + QStringLiteral("/Screenshots"), true},
    };
    for (const auto& f : toolFolders(home, configHome)) {
        folders.push_back({f, true});
    }
    return folders;
}

std::vector<ScreenshotFolderIndex::Folder> ScreenshotFolderIndex::standardFolders() {
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty()) {
        configHome = QDir::homePath() + QStringLiteral("/.config");
    }
    return standardFolders(QDir::homePath(), configHome);
}

QString ScreenshotFolderIndex::picturesFolder(const QString& home, const QString& configHome) {
    QFile file(configHome + QStringLiteral("/user-dirs.dirs"));
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        static const QRegularExpression line(
            QStringLiteral(R"re(^\s*XDG_PICTURES_DIR\s*=\s*"([^"]*)"\s*$)re"));
        QTextStream in(&file);
        while (!in.atEnd()) {
            const auto m = line.match(in.readLine());
            if (m.hasMatch()) {
                QString path = toolPath(m.captured(1), home);
                // "$HOME/" alone means the user switched the folder off.
                if (!path.isEmpty() && path != cleanPath(home)) {
                    return path;
                }
            }
        }
    }
    return cleanPath(home + QStringLiteral("/Pictures"));
}

QStringList ScreenshotFolderIndex::toolFolders(const QString& home, const QString& configHome) {
    const QString values[] = {
        iniValue(
            configHome + QStringLiteral("/spectaclerc"),
            {QStringLiteral("ImageSave/imageSaveLocation"), QStringLiteral("defaultSaveLocation")}),
        iniValue(configHome + QStringLiteral("/flameshot/flameshot.ini"),
                 {QStringLiteral("savePath")}),
        iniValue(configHome + QStringLiteral("/xfce4/xfce4-screenshooter"),
                 {QStringLiteral("screenshot_dir")}),
    };
    QStringList folders;
    for (const auto& v : values) {
        const QString path = toolPath(v, home);
        if (!path.isEmpty() && !folders.contains(path)) {
            folders << path;
        }
    }
    return folders;
}

bool ScreenshotFolderIndex::isImageName(const QString& fileName) {
    static const QRegularExpression image(QStringLiteral(R"(\.(png|jpe?g|webp|avif)$)"),
                                          QRegularExpression::CaseInsensitiveOption);
    return !fileName.startsWith(QLatin1Char('.')) && image.match(fileName).hasMatch();
}

bool ScreenshotFolderIndex::isScreenshotName(const QString& fileName) {
    if (!isImageName(fileName)) {
        return false;
    }
    // What the common tools call a capture, in the languages a desktop is most often set to;
    // scrot instead ends its names in "_scrot".
    static const QRegularExpression name(
        QStringLiteral("^(screenshot|screen shot|bildschirmfoto|capture d.écran|"
                       "captura de pantalla|captura de ecrã|schermata|schermafbeelding|"
                       "zrzut ekranu|снимок экрана|скриншот|スクリーンショット|屏幕截图|截图)"
                       "|_scrot\\.[^.]+$"),
        QRegularExpression::CaseInsensitiveOption);
    return name.match(fileName).hasMatch();
}

void ScreenshotFolderIndex::begin() {
    if (m_begun) {
        return;
    }
    m_begun = true;
    for (std::size_t i = 0; i < m_folders.size(); ++i) {
        arm(i, true);
    }
}

void ScreenshotFolderIndex::arm(std::size_t index, bool atStart) {
    Watched& w = m_folders[index];
    const QString& path = w.folder.path;
    if (QFileInfo(path).isDir()) {
        if (!m_watcher.directories().contains(path) && !m_watcher.addPath(path)) {
            return;  // unreadable: nothing to report from there
        }
        w.watching = true;
        // A folder that appears later is new with all it holds.
        scan(index, atStart);
        return;
    }
    // Watch the nearest folder that exists, to notice this one being created.
    QString parent = path;
    do {
        parent = QFileInfo(parent).path();
    } while (isInside(parent, m_home) && parent != m_home && !QFileInfo(parent).isDir());
    if (QFileInfo(parent).isDir() && isInside(parent, m_home) &&
        !m_watcher.directories().contains(parent)) {
        m_watcher.addPath(parent);
    }
}

void ScreenshotFolderIndex::directoryChanged(const QString& path) {
    for (std::size_t i = 0; i < m_folders.size(); ++i) {
        Watched& w = m_folders[i];
        if (w.watching && w.folder.path == path) {
            if (QFileInfo(path).isDir()) {
                scan(i, false);
                continue;
            }
            // Removed: start over, as for a folder that does not exist yet.
            w.watching = false;
            w.known.clear();
            m_watcher.removePath(path);
            arm(i, false);
        } else if (!w.watching && isInside(w.folder.path, path)) {
            arm(i, false);
        }
    }
}

void ScreenshotFolderIndex::scan(std::size_t index, bool silent) {
    Watched& w = m_folders[index];
    if (w.scanning) {
        w.rescan = true;
        return;
    }
    w.scanning = true;
    m_loop.runInBackground(Qos::utility, [loop = &m_loop, path = w.folder.path, index, silent,
                                          self = this, weak = m_life.weak()] {
        const QStringList names = QDir(path).entryList(QDir::Files | QDir::NoDotAndDotDot);
        loop->post([self, weak, index, names, silent] {
            if (weak.lock()) {
                self->scanned(index, names, silent);
            }
        });
    });
}

void ScreenshotFolderIndex::scanned(std::size_t index, const QStringList& names, bool silent) {
    Watched& w = m_folders[index];
    w.scanning = false;
    const QSet<QString> now(names.begin(), names.end());
    if (silent) {
        w.known = now;
    } else if (w.watching) {
        bool added = false;
        for (const auto& name : names) {
            if (w.known.contains(name)) {
                continue;
            }
            w.known.insert(name);
            if (w.folder.anyImage ? isImageName(name) : isScreenshotName(name)) {
                m_pending.insert(w.folder.path + QLatin1Char('/') + name, Pending{});
                added = true;
            }
        }
        // Forget what is gone, so a new file under the same name counts again.
        w.known.intersect(now);
        if (added) {
            scheduleSettleCheck();
        }
    }
    if (std::exchange(w.rescan, false)) {
        scan(index, false);
    }
}

void ScreenshotFolderIndex::scheduleSettleCheck() {
    if (m_checking || m_settleTimer.isActive() || m_pending.isEmpty()) {
        return;
    }
    // The first look comes at once: most tools write to a temporary name and rename, so the
    // file is usually complete when it appears.
    const double delay = std::all_of(m_pending.begin(), m_pending.end(),
                                     [](const Pending& p) { return p.checks == 0; })
                             ? 0.0
                             : kSettleInterval;
    m_settleTimer = m_loop.postDelayed(delay, [this] {
        m_settleTimer = TaskHandle();
        m_checking = true;
        m_loop.runInBackground(Qos::utility, [loop = &m_loop, paths = m_pending.keys(), self = this,
                                              weak = m_life.weak()] {
            std::vector<Look> looks;
            looks.reserve(static_cast<std::size_t>(paths.size()));
            for (const auto& p : paths) {
                looks.push_back(look(p));
            }
            loop->post([self, weak, looks = std::move(looks)] {
                if (weak.lock()) {
                    self->settled(looks);
                }
            });
        });
    });
}

ScreenshotFolderIndex::Look ScreenshotFolderIndex::look(const QString& path) {
    Look l;
    l.path = path;
    const QFileInfo info(path);
    l.exists = info.isFile();
    if (!l.exists) {
        return l;
    }
    l.size = info.size();
    l.modified = info.lastModified();
    const QString suffix = info.suffix().toLower();
    QByteArray end;
    if (suffix == QLatin1String("png")) {
        end = QByteArray("IEND\xAE\x42\x60\x82", 8);
    } else if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg")) {
        end = QByteArray("\xFF\xD9", 2);
    } else {
        return l;
    }
    QFile file(path);
    if (l.size < end.size() || !file.open(QIODevice::ReadOnly) || !file.seek(l.size - end.size())) {
        l.trailer = -1;
        return l;
    }
    l.trailer = file.read(end.size()) == end ? 1 : -1;
    return l;
}

void ScreenshotFolderIndex::settled(const std::vector<Look>& looks) {
    m_checking = false;
    std::vector<const Look*> ready;
    for (const auto& l : looks) {
        auto it = m_pending.find(l.path);
        if (it == m_pending.end()) {
            continue;
        }
        if (!l.exists) {
            m_pending.erase(it);  // a temporary file, moved or deleted
            continue;
        }
        // PNG and JPEG say themselves when they are whole; other formats must stop growing.
        const bool stable = l.size == it->size && l.modified == it->modified;
        const bool complete = l.size > 0 && (l.trailer == 1 || (l.trailer == 0 && stable));
        if (complete) {
            ready.push_back(&l);
            m_pending.erase(it);
            continue;
        }
        it->checks = stable ? it->checks + 1 : 1;  // a file that grows is still coming
        it->size = l.size;
        it->modified = l.modified;
        if (it->checks > kMaxSettleChecks) {
            m_pending.erase(it);
        }
    }
    std::sort(ready.begin(), ready.end(), [](const Look* a, const Look* b) {
        return a->modified != b->modified ? a->modified < b->modified : a->path < b->path;
    });
    QStringList paths;
    for (const Look* l : ready) {
        paths << l->path;
    }
    scheduleSettleCheck();
    if (!paths.isEmpty()) {
        m_added.send(paths);
    }
}

}  // namespace korvo
