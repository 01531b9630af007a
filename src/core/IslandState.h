#pragma once

#include <QString>

namespace korvo {

/// How much of the island is shown. Ordered by size (`hidden < compact < ... < hud`): a request
/// only ever grows the island, so the order matters.
enum class IslandState { hidden, compact, medium, expanded, hud };

/// The case name, as the debug log prints it.
inline QString toString(IslandState s) {
    switch (s) {
        case IslandState::hidden:
            return QStringLiteral("hidden");
        case IslandState::compact:
            return QStringLiteral("compact");
        case IslandState::medium:
            return QStringLiteral("medium");
        case IslandState::expanded:
            return QStringLiteral("expanded");
        case IslandState::hud:
            return QStringLiteral("hud");
    }
    return QString();
}

}  // namespace korvo
