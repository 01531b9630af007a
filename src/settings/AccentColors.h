#pragma once

#include <QColor>
#include <QString>

#include <utility>
#include <vector>

namespace korvo {

/// The fixed colours `accentMode` may name besides "adaptive", in the settings window's order.
const std::vector<std::pair<QString, QColor>>& accentChoices();
/// The colour of a fixed accent; white for "adaptive" or a name not among the choices.
QColor fixedAccentColor(const QString& name);

}  // namespace korvo
