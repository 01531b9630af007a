#include "DisplayChoice.h"

#include <QUrlQuery>

namespace korvo {

namespace {

const QString kMain = QStringLiteral("main");
const QString kPointer = QStringLiteral("pointer");
const QString kOutput = QStringLiteral("output");
const QString kManufacturer = QStringLiteral("manufacturer");
const QString kModel = QStringLiteral("model");
const QString kSerial = QStringLiteral("serial");

bool sameDisplay(const DisplayDescription& d, const DisplayPreference& p) {
    return d.manufacturer == p.manufacturer && d.model == p.model &&
           d.serialNumber == p.serialNumber;
}

}  // namespace

DisplayPreference DisplayPreference::parse(const QString& stored) {
    if (stored == kPointer) {
        return pointer();
    }
    const QUrlQuery query(stored);
    if (!query.hasQueryItem(kOutput)) {
        return main();
    }
    DisplayPreference p;
    p.mode = Mode::named;
    p.name = query.queryItemValue(kOutput, QUrl::FullyDecoded);
    p.manufacturer = query.queryItemValue(kManufacturer, QUrl::FullyDecoded);
    p.model = query.queryItemValue(kModel, QUrl::FullyDecoded);
    p.serialNumber = query.queryItemValue(kSerial, QUrl::FullyDecoded);
    if (p.name.isEmpty() && p.model.isEmpty() && p.serialNumber.isEmpty()) {
        return main();  // names nothing that could ever be found
    }
    return p;
}

QString DisplayPreference::toString() const {
    switch (mode) {
        case Mode::main:
            return kMain;
        case Mode::pointer:
            return kPointer;
        case Mode::named:
            break;
    }
    // Percent-encoding keeps a model such as "A&B=C" from breaking the fields apart.
    auto encode = [](const QString& v) { return QString::fromLatin1(QUrl::toPercentEncoding(v)); };
    return kOutput + QLatin1Char('=') + encode(name) + QLatin1Char('&') + kManufacturer +
           QLatin1Char('=') + encode(manufacturer) + QLatin1Char('&') + kModel + QLatin1Char('=') +
           encode(model) + QLatin1Char('&') + kSerial + QLatin1Char('=') + encode(serialNumber);
}

std::optional<std::size_t> mainDisplay(const std::vector<DisplayDescription>& displays) {
    if (displays.empty()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < displays.size(); ++i) {
        if (displays[i].primary) {
            return i;
        }
    }
    return 0;
}

std::optional<std::size_t> findNamedDisplay(const std::vector<DisplayDescription>& displays,
                                            const DisplayPreference& preference) {
    if (preference.mode != DisplayPreference::Mode::named) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < displays.size(); ++i) {
        if (displays[i].name == preference.name && sameDisplay(displays[i], preference)) {
            return i;
        }
    }
    const bool knowsTheDisplay = !preference.model.isEmpty() || !preference.serialNumber.isEmpty();
    for (std::size_t i = 0; i < displays.size(); ++i) {
        // The same monitor on another connector; or, knowing nothing of the monitor, whatever
        // hangs on the saved connector.
        if (knowsTheDisplay ? sameDisplay(displays[i], preference)
                            : displays[i].name == preference.name) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> chooseDisplay(const std::vector<DisplayDescription>& displays,
                                         const DisplayPreference& preference,
                                         const std::optional<QString>& pointerDisplay) {
    if (displays.empty()) {
        return std::nullopt;
    }
    switch (preference.mode) {
        case DisplayPreference::Mode::named:
            if (auto found = findNamedDisplay(displays, preference)) {
                return found;
            }
            break;
        case DisplayPreference::Mode::pointer:
            if (pointerDisplay) {
                for (std::size_t i = 0; i < displays.size(); ++i) {
                    if (displays[i].name == *pointerDisplay) {
                        return i;
                    }
                }
            }
            break;
        case DisplayPreference::Mode::main:
            break;
    }
    return mainDisplay(displays);
}

QString displayLabel(const QString& name, const QString& manufacturer, const QString& model) {
    QString what = (manufacturer + QLatin1Char(' ') + model).trimmed();
    if (what.isEmpty()) {
        return name;
    }
    if (name.isEmpty()) {
        return what;
    }
    return name + QStringLiteral(" — ") + what;
}

DisplayOptions displayOptions(const std::vector<DisplayDescription>& displays,
                              const QString& storedPreference) {
    DisplayOptions options;
    options.entries.push_back({QStringLiteral("Main display"), kMain, true});
    options.entries.push_back({QStringLiteral("Display with the pointer"), kPointer, true});
    const DisplayPreference saved = DisplayPreference::parse(storedPreference);
    const auto found = findNamedDisplay(displays, saved);
    for (std::size_t i = 0; i < displays.size(); ++i) {
        const auto& d = displays[i];
        options.entries.push_back({displayLabel(d.name, d.manufacturer, d.model),
                                   DisplayPreference::named(d).toString(), true});
        if (found == i) {
            options.selected = options.entries.size() - 1;
        }
    }
    switch (saved.mode) {
        case DisplayPreference::Mode::main:
            options.selected = 0;
            break;
        case DisplayPreference::Mode::pointer:
            options.selected = 1;
            break;
        case DisplayPreference::Mode::named:
            if (!found) {
                options.entries.push_back(
                    {displayLabel(saved.name, saved.manufacturer, saved.model) +
                         QStringLiteral(" (not connected)"),
                     saved.toString(), false});
                options.selected = options.entries.size() - 1;
            }
            break;
    }
    return options;
}

}  // namespace korvo
