#include "core/DisplayChoice.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace korvo;

namespace {

DisplayDescription display(QString name, QString maker, QString model, QString serial, int x,
                           bool primary = false) {
    DisplayDescription d;
    d.name = std::move(name);
    d.manufacturer = std::move(maker);
    d.model = std::move(model);
    d.serialNumber = std::move(serial);
    d.geometry = QRect(x, 0, 1920, 1080);
    d.nativeGeometry = d.geometry;
    d.primary = primary;
    return d;
}

// A laptop panel, and two identical monitors without serial numbers, the second one primary.
std::vector<DisplayDescription> desk() {
    return {display("eDP-1", "BOE", "NE135", "", 0), display("DP-1", "Dell", "U2720Q", "", 1920),
            display("DP-2", "Dell", "U2720Q", "", 3840, true)};
}

std::optional<std::size_t> choose(const std::vector<DisplayDescription>& displays,
                                  const QString& stored,
                                  std::optional<QString> pointer = std::nullopt) {
    return chooseDisplay(displays, DisplayPreference::parse(stored), pointer);
}

}  // namespace

TEST(DisplayChoice, MainIsThePrimaryElseTheFirstAndNothingWithoutDisplays) {
    EXPECT_EQ(choose(desk(), "main"), 2u);
    auto noPrimary = desk();
    noPrimary[2].primary = false;
    EXPECT_EQ(choose(noPrimary, "main"), 0u);
    EXPECT_FALSE(choose({}, "main"));
    EXPECT_FALSE(choose({}, "pointer", QStringLiteral("DP-1")));
    const auto named = DisplayPreference::named(desk()[0]).toString();
    EXPECT_FALSE(choose({}, named));
}

TEST(DisplayChoice, NamedDisplayIsFoundByItselfBeforeItsConnector) {
    const auto d = desk();
    EXPECT_EQ(choose(d, DisplayPreference::named(d[0]).toString()), 0u);
    // Two identical monitors: the saved connector tells them apart.
    EXPECT_EQ(choose(d, DisplayPreference::named(d[1]).toString()), 1u);

    // The laptop panel now hangs on another connector, listed elsewhere: still found.
    auto moved = d;
    moved[0].name = QStringLiteral("eDP-2");
    std::swap(moved[0], moved[1]);
    EXPECT_EQ(choose(moved, DisplayPreference::named(d[0]).toString()), 1u);

    // A serial number identifies a monitor even when another of its model holds the old port.
    auto serials = d;
    serials[1].serialNumber = QStringLiteral("AAA");
    serials[2].serialNumber = QStringLiteral("BBB");
    const auto saved = DisplayPreference::named(serials[2]).toString();
    std::swap(serials[1].name, serials[2].name);
    EXPECT_EQ(choose(serials, saved), 2u);
}

TEST(DisplayChoice, AbsentNamedDisplayFallsBackToMain) {
    auto d = desk();
    const auto savedLaptop = DisplayPreference::named(d[0]).toString();
    // Another monitor on the laptop's connector is not the laptop.
    d[0] = display("eDP-1", "LG", "27UL850", "", 0);
    EXPECT_EQ(choose(d, savedLaptop), 2u);
    d.erase(d.begin());
    EXPECT_EQ(choose(d, savedLaptop), 1u);  // primary moved with the erase
}

TEST(DisplayChoice, ADisplayThatToldNothingOfItselfIsFoundByConnector) {
    // Virtual monitors report no maker, model or serial.
    const std::vector<DisplayDescription> virt = {display("LEFT", "", "", "", 0, true),
                                                  display("RIGHT", "", "", "", 1920)};
    const auto savedRight = DisplayPreference::named(virt[1]).toString();
    EXPECT_EQ(choose(virt, savedRight), 1u);
    // Whatever now hangs on that connector is taken for it.
    auto replaced = virt;
    replaced[1].model = QStringLiteral("Something");
    EXPECT_EQ(choose(replaced, savedRight), 1u);
    replaced[1].name = QStringLiteral("OTHER");
    EXPECT_EQ(choose(replaced, savedRight), 0u);
}

TEST(DisplayChoice, PointerDisplayWhenKnownAndPresent) {
    EXPECT_EQ(choose(desk(), "pointer", QStringLiteral("eDP-1")), 0u);
    EXPECT_EQ(choose(desk(), "pointer"), 2u);                            // not reported yet
    EXPECT_EQ(choose(desk(), "pointer", QStringLiteral("HDMI-9")), 2u);  // gone since
    // The pointer matters only to the pointer preference.
    EXPECT_EQ(choose(desk(), "main", QStringLiteral("eDP-1")), 2u);
}

TEST(DisplayChoice, StoredPreferenceSurvivesAwkwardNamesAndRejectsNonsense) {
    DisplayDescription odd = display("DP-1&x=1", "A&B=C", "Model 100% ünïcode+plus", "S/N #7", 0);
    const DisplayPreference p = DisplayPreference::named(odd);
    EXPECT_EQ(DisplayPreference::parse(p.toString()), p);

    EXPECT_EQ(DisplayPreference::parse("pointer").mode, DisplayPreference::Mode::pointer);
    for (const QString& nonsense :
         {QString(), QStringLiteral("Main"), QStringLiteral("left monitor"),
          QStringLiteral("output=&manufacturer=Dell"), QStringLiteral("%%%")}) {
        EXPECT_EQ(DisplayPreference::parse(nonsense), DisplayPreference::main())
            << nonsense.toStdString();
    }
}

TEST(DisplayChoice, PickerListsConnectedDisplaysAndTheSavedOneWhileAway) {
    const auto d = desk();
    auto labels = [](const DisplayOptions& o) {
        QStringList out;
        for (const auto& e : o.entries) {
            out << e.label;
        }
        return out;
    };
    const DisplayOptions plain = displayOptions(d, "main");
    EXPECT_EQ(labels(plain),
              (QStringList{"Main display", "Display with the pointer", "eDP-1 — BOE NE135",
                           "DP-1 — Dell U2720Q", "DP-2 — Dell U2720Q"}));
    // Choosing an entry stores what selects that entry again.
    for (std::size_t i = 0; i < plain.entries.size(); ++i) {
        EXPECT_EQ(displayOptions(d, plain.entries[i].value).selected, i) << i;
    }

    // The laptop panel saved, then unplugged: listed last, marked, and selected.
    const QString savedLaptop = DisplayPreference::named(d[0]).toString();
    const std::vector<DisplayDescription> docked(d.begin() + 1, d.end());
    const DisplayOptions away = displayOptions(docked, savedLaptop);
    ASSERT_EQ(away.entries.size(), 5u);
    EXPECT_EQ(away.entries.back().label, "eDP-1 — BOE NE135 (not connected)");
    EXPECT_FALSE(away.entries.back().connected);
    EXPECT_EQ(away.entries.back().value, savedLaptop);
    EXPECT_EQ(away.selected, 4u);

    // Plugged into another connector, it is selected where it is now listed, not added twice.
    auto moved = d;
    moved[0].name = QStringLiteral("eDP-2");
    const DisplayOptions found = displayOptions(moved, savedLaptop);
    EXPECT_EQ(found.entries.size(), 5u);
    EXPECT_EQ(found.entries[found.selected].label, "eDP-2 — BOE NE135");
}
