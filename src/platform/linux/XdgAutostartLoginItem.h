#pragma once

#include "platform/LoginItem.h"

namespace korvo {

/// Login item as an XDG autostart entry (`<config>/autostart/korvo.desktop`).
class XdgAutostartLoginItem final : public LoginItem {
public:
    /// `configHome` is $XDG_CONFIG_HOME (or ~/.config); `command` is what the entry launches.
    XdgAutostartLoginItem(QString configHome, QString command);

    std::optional<QString> setRegistered(bool registered) override;

    QString entryPath() const;
    static QString defaultConfigHome();

private:
    QString m_configHome;
    QString m_command;
};

}  // namespace korvo
