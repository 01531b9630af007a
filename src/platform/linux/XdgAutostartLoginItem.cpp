#include "XdgAutostartLoginItem.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace korvo {

namespace {

// Exec= quoting of desktop entries: a path with blanks or reserved characters goes in double
// quotes, with ", `, $ and \ escaped.
QString quoteExec(const QString& command) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    if (std::none_of(command.begin(), command.end(),
                     [](QChar c) { return reserved.contains(c); })) {
        return command;
    }
    QString quoted;
    for (QChar c : command) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
            quoted += u'\\';
        }
        quoted += c;
    }
    return u'"' + quoted + u'"';
}

}  // namespace

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
                              "Icon=korvo\n"
                              "Terminal=false\n"
                              "X-GNOME-Autostart-enabled=true\n")
                              .arg(quoteExec(m_command));
    file.write(entry.toUtf8());
    if (!file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

}  // namespace korvo
