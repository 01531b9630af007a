#include "AccentColors.h"

namespace korvo {

const std::vector<std::pair<QString, QColor>>& accentChoices() {
    static const std::vector<std::pair<QString, QColor>> choices = {
        {QStringLiteral("white"), QColor(255, 255, 255)},
        {QStringLiteral("blue"), QColor(0, 122, 255)},
        {QStringLiteral("purple"), QColor(175, 82, 222)},
        {QStringLiteral("pink"), QColor(255, 45, 85)},
        {QStringLiteral("green"), QColor(52, 199, 89)},
        {QStringLiteral("orange"), QColor(255, 149, 0)},
        {QStringLiteral("cyan"), QColor(50, 173, 230)},
    };
    return choices;
}

QColor fixedAccentColor(const QString& name) {
    for (const auto& [choice, color] : accentChoices()) {
        if (choice == name) {
            return color;
        }
    }
    return QColor(255, 255, 255);
}

}  // namespace korvo
