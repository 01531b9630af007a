#pragma once

#include "platform/LoginItem.h"

#include <QStringList>

namespace korvo {

/// Login item as an XDG autostart entry (`<config>/autostart/korvo.desktop`).
class XdgAutostartLoginItem final : public LoginItem {
public:
    /// Where a Korvo to start at login may be.
    struct LaunchPlaces {
        QString buildDir;         // the build folder this program was built in
        QString installedBinary;  // korvo under the install prefix it was configured for
        QStringList searchPath;   // the folders of $PATH, in order

        /// This build's folder and prefix, and the PATH of this process.
        static LaunchPlaces ofThisProgram();
    };

    /// `configHome` is $XDG_CONFIG_HOME (or ~/.config); `command` is what the entry launches.
    XdgAutostartLoginItem(QString configHome, QString command);

    std::optional<QString> setRegistered(bool registered) override;

    QString entryPath() const;
    static QString defaultConfigHome();

    /// What the entry starts for a Korvo running from `running`: that very binary when it runs
    /// from its build folder; otherwise an installed one — the `korvo` on PATH that is the one
    /// running, else the first on PATH, else the one under the install prefix — and `running`
    /// itself only when there is none.
    static QString launchCommand(const QString& running, const LaunchPlaces& places);
    /// The Exec= value that runs `program` with no arguments, quoted and escaped as desktop
    /// entries want it.
    static QString execValue(const QString& program);

private:
    QString m_configHome;
    QString m_command;
};

}  // namespace korvo
