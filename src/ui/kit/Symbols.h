#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <optional>
#include <vector>

namespace korvo::ui {

/// Symbol names, as the views use them, drawn with bootstrap-icons compiled into the program as
/// Qt resources: nothing is read from the icon folder at run time.
class Symbols {
public:
    /// The SVG resource standing for a symbol name, or none for an unknown name.
    static std::optional<QString> fileFor(const QString& name);
    /// Every symbol name the table knows.
    static std::vector<QString> knownNames();
    /// The symbol rendered at `size` points × `dpr`, tinted; a null image for unknown names
    /// (logged once per name).
    static QImage render(const QString& name, double size, const QColor& color, double dpr);
    /// The resource folder holding the compiled-in symbols (":/…/").
    static QString resourcePrefix();
};

}  // namespace korvo::ui
