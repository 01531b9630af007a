#include "XdgAutostartLoginItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace korvo {

namespace {

bool isExecutableFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

// Whether `path` lies inside `folder`, links resolved, so a sibling such as "build-sanitize"
// never counts as inside "build".
bool isInside(const QString& path, const QString& folder) {
    if (folder.isEmpty()) {
        return false;
    }
    const QString p = QFileInfo(path).canonicalFilePath();
    const QString f = QFileInfo(folder).canonicalFilePath();
    return !p.isEmpty() && !f.isEmpty() && p.startsWith(f + u'/');
}

}  // namespace

XdgAutostartLoginItem::LaunchPlaces XdgAutostartLoginItem::LaunchPlaces::ofThisProgram() {
    LaunchPlaces places;
    places.buildDir = QStringLiteral(KORVO_BUILD_DIR);
    places.installedBinary = QStringLiteral(KORVO_INSTALL_BINDIR "/korvo");
    places.searchPath = QString::fromLocal8Bit(qgetenv("PATH")).split(u':', Qt::SkipEmptyParts);
    return places;
}

QString XdgAutostartLoginItem::launchCommand(const QString& running, const LaunchPlaces& places) {
    if (isInside(running, places.buildDir)) {
        return running;
    }
    QStringList onPath;
    for (const QString& dir : places.searchPath) {
        // A relative entry would make the login session's working folder choose the program.
        if (!QDir::isAbsolutePath(dir)) {
            continue;
        }
        const QString candidate = QDir::cleanPath(dir + QStringLiteral("/korvo"));
        if (isExecutableFile(candidate)) {
            onPath << candidate;
        }
    }
    // The korvo that is running, as PATH spells it (through a link, say), when PATH has it:
    // the user may have two installed and chose this one.
    const QString runningFile = QFileInfo(running).canonicalFilePath();
    for (const QString& candidate : onPath) {
        if (!runningFile.isEmpty() && QFileInfo(candidate).canonicalFilePath() == runningFile) {
            return candidate;
        }
    }
    if (!onPath.isEmpty()) {
        return onPath.first();
    }
    if (!places.installedBinary.isEmpty() && isExecutableFile(places.installedBinary)) {
        return places.installedBinary;
    }
    return running;
}

// Desktop entries quote in two layers: an argument with reserved characters goes in double
// quotes with ", `, $ and \ escaped by a backslash; then the value as a whole is a string,
// whose own escapes double every backslash and spell control characters. A literal % is %%.
QString XdgAutostartLoginItem::execValue(const QString& program) {
    static const QString reserved = QStringLiteral(" \t\n\r\"'\\><~|&;$*?#()`");
    QString argument;
    for (QChar c : program) {
        argument += c;
        if (c == u'%') {
            argument += u'%';
        }
    }
    if (std::any_of(argument.begin(), argument.end(),
                    [](QChar c) { return reserved.contains(c); })) {
        QString quoted;
        for (QChar c : argument) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
                quoted += u'\\';
            }
            quoted += c;
        }
        argument = u'"' + quoted + u'"';
    }
    QString value;
    for (QChar c : argument) {
        if (c == u'\\') {
            value += QStringLiteral("\\\\");
        } else if (c == u'\n') {
            value += QStringLiteral("\\n");
        } else if (c == u'\t') {
            value += QStringLiteral("\\t");
        } else if (c == u'\r') {
            value += QStringLiteral("\\r");
        } else {
            value += c;
        }
    }
    return value;
}

XdgAutostartLoginItem::XdgAutostartLoginItem(QString configHome, QString command)
    : m_configHome(std::move(configHome)), m_command(std::move(command)) {}

QString XdgAutostartLoginItem::defaultConfigHome() {
    const QByteArray env = qgetenv("XDG_CONFIG_HOME");
    if (!env.isEmpty() && QDir::isAbsolutePath(QString::fromLocal8Bit(env))) {
        return QString::fromLocal8Bit(env);
    }
    return QDir::homePath() + QStringLiteral("/.config");
}

QString XdgAutostartLoginItem::entryPath() const {
    return m_configHome + QStringLiteral("/autostart/korvo.desktop");
}

std::optional<QString> XdgAutostartLoginItem::setRegistered(bool registered) {
    const QString path = entryPath();
    if (!registered) {
        QFile file(path);
        if (file.exists() && !file.remove()) {
            return file.errorString();
        }
        return std::nullopt;
    }
    if (!QDir().mkpath(m_configHome + QStringLiteral("/autostart"))) {
        return QStringLiteral("cannot create %1/autostart").arg(m_configHome);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    const QString entry = QStringLiteral(
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Korvo\n"
                              "Comment=A live island at the top of the screen\n"
                              "Exec=%1\n"
                              "Icon=io.korvo.Korvo\n"
                              "Terminal=false\n"
                              "X-GNOME-Autostart-enabled=true\n")
                              .arg(execValue(m_command));
    file.write(entry.toUtf8());
    if (!file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

}  // namespace korvo
