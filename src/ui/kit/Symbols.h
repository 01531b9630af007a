#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <optional>
#include <vector>

namespace korvo::ui {

/// Symbol names, as the views use them, drawn with bootstrap-icons.
class Symbols {
public:
    /// The SVG file standing for a symbol name, or none for an unknown name.
    static std::optional<QString> fileFor(const QString& name);
    /// Every symbol name the table knows.
    static std::vector<QString> knownNames();
    /// The symbol rendered at `size` points × `dpr`, tinted; a null image for unknown names
    /// (logged once per name).
    static QImage render(const QString& name, double size, const QColor& color, double dpr);
    /// Where the icon set lives (overridable with KORVO_ICON_DIR).
    static QString iconDirectory();
};

}  // namespace korvo::ui
