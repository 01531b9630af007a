#pragma once

#include <QRect>
#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

namespace korvo {

/// One display as the island sees it. `name` is the connector (or monitor) name the window
/// system gives it; manufacturer, model and serial come from the display itself and may be empty.
struct DisplayDescription {
    QString name;
    QString manufacturer;
    QString model;
    QString serialNumber;
    /// Where the display sits on the desktop, in the toolkit's logical coordinates.
    QRect geometry;
    /// The same area in the window system's own pixels (differs when the toolkit scales).
    QRect nativeGeometry;
    bool primary = false;

    bool operator==(const DisplayDescription&) const = default;
};

/// Which display the island belongs to, as the `display` preference stores it.
struct DisplayPreference {
    enum class Mode { main, pointer, named };
    Mode mode = Mode::main;
    /// For `named`: the display's connector name and what identifies the display itself.
    QString name;
    QString manufacturer;
    QString model;
    QString serialNumber;

    bool operator==(const DisplayPreference&) const = default;

    static DisplayPreference main() { return {}; }
    static DisplayPreference pointer() { return {Mode::pointer, {}, {}, {}, {}}; }
    static DisplayPreference named(const DisplayDescription& d) {
        return {Mode::named, d.name, d.manufacturer, d.model, d.serialNumber};
    }

    /// "main", "pointer", or the named display's fields as a URL query. Anything that does not
    /// parse reads as the main display.
    static DisplayPreference parse(const QString& stored);
    QString toString() const;
};

/// The main display: the one marked primary, else the first. None when there are no displays.
std::optional<std::size_t> mainDisplay(const std::vector<DisplayDescription>& displays);

/// The display a `named` preference means, when it is connected. The display itself (its maker,
/// model and serial) counts more than the connector it hangs on, so a monitor moved to another
/// port is still found; a preference that knows nothing of the display matches by connector.
std::optional<std::size_t> findNamedDisplay(const std::vector<DisplayDescription>& displays,
                                            const DisplayPreference& preference);

/// The display the island goes to: the named one when present, the one with the pointer when
/// known and present, otherwise the main display.
std::optional<std::size_t> chooseDisplay(const std::vector<DisplayDescription>& displays,
                                         const DisplayPreference& preference,
                                         const std::optional<QString>& pointerDisplay);

/// One entry of the settings window's display picker.
struct DisplayOption {
    QString label;
    /// What the preference stores when this entry is chosen.
    QString value;
    /// False for a saved display that is not connected now.
    bool connected = true;
};

struct DisplayOptions {
    std::vector<DisplayOption> entries;
    /// The entry the stored preference means (a saved display found on another connector
    /// selects that display's entry).
    std::size_t selected = 0;
};

/// The picker's entries: the main display, the pointer's display, every connected display, and
/// the saved display when it is not connected.
DisplayOptions displayOptions(const std::vector<DisplayDescription>& displays,
                              const QString& storedPreference);

/// The picker's label of one display: its name, with maker and model when it tells them.
QString displayLabel(const QString& name, const QString& manufacturer, const QString& model);

}  // namespace korvo
