#include "SettingsWindow.h"

#include "app/IslandScreens.h"
#include "app/settings/AccessibleNames.h"
#include "core/DisplayChoice.h"
#include "core/Published.h"
#include "settings/AccentColors.h"
#include "settings/HUDStat.h"
#include "settings/NotificationApps.h"
#include "settings/SettingsStore.h"
#include "ui/kit/Shapes.h"
#include "ui/kit/Symbols.h"
#include "ui/style/Theme.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <set>

namespace korvo {

namespace {

struct TabInfo {
    SettingsTab tab;
    const char* raw;
    const char* title;
    const char* symbol;
    QColor badge;
    const char* section;
};

const std::array<TabInfo, 9>& tabs() {
    static const std::array<TabInfo, 9> t{{
        {SettingsTab::general, "general", "General", "gearshape.fill", QColor(142, 142, 147),
         "App"},
        {SettingsTab::appearance, "appearance", "Appearance", "paintbrush.fill",
         QColor(175, 82, 222), "App"},
        {SettingsTab::battery, "battery", "Battery", "bolt.fill", QColor(255, 149, 0),
         "Notifications"},
        {SettingsTab::nowPlaying, "nowPlaying", "Now Playing", "play.fill", QColor(255, 59, 48),
         "Live Activities"},
        {SettingsTab::calendar, "calendar", "Calendar", "calendar", QColor(255, 59, 48),
         "Live Activities"},
        {SettingsTab::clipboard, "clipboard", "Clipboard", "doc.on.clipboard.fill",
         QColor(50, 173, 230), "Notifications"},
        {SettingsTab::notifications, "notifications", "Desktop Notifications", "bell.fill",
         QColor(255, 59, 48), "Notifications"},
        {SettingsTab::systemHUD, "systemHUD", "System HUD", "gauge.with.dots.needle.67percent",
         QColor(48, 176, 199), "Live Activities"},
        {SettingsTab::about, "about", "About", "info", QColor(142, 142, 147), "Korvo"},
    }};
    return t;
}

const TabInfo& infoFor(SettingsTab tab) {
    return tabs()[static_cast<std::size_t>(tab)];
}

// The tab's symbol in white on a small rounded square of its colour's gradient.
QIcon badgeIcon(const TabInfo& info) {
    QPixmap pm(44, 44);
    pm.setDevicePixelRatio(2);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 22);
    g.setColorAt(0, info.badge.lighter(125));
    g.setColorAt(1, info.badge);
    p.fillPath(ui::shapePath(ui::Outline::rounded(6), QRectF(0, 0, 22, 22)), g);
    const QImage glyph = ui::Symbols::render(QString::fromLatin1(info.symbol), 12, Qt::white, 2);
    if (!glyph.isNull()) {
        p.drawImage(QRectF(5, 5, 12, 12), glyph);
    }
    return QIcon(pm);
}

QLabel* captionLabel(const QString& text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    QFont f = label->font();
    f.setPointSizeF(f.pointSizeF() * 0.85);
    label->setFont(f);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

// A preview of how inner elements are filled, with a ring when chosen.
class StyleChoice : public QAbstractButton {
public:
    StyleChoice(const QString& label, QString value, QWidget* parent)
        : QAbstractButton(parent), m_value(std::move(value)) {
        setText(label);
        setCursor(Qt::PointingHandCursor);
        setFixedSize(124, 82);
    }
    bool selected = false;
    const QString& value() const { return m_value; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF preview(7, 3, 110, 44);
        if (selected) {
            QPen ring(palette().color(QPalette::Highlight), 2.5);
            p.setPen(ring);
            p.drawPath(ui::shapePath(ui::Outline::rounded(15), preview.adjusted(-3, -3, 3, 3)));
        }
        const QPainterPath clip = ui::shapePath(ui::Outline::rounded(12), preview);
        p.fillPath(clip, Qt::black);
        const QRectF tile = preview.adjusted(14, 10, -14, -10);
        const QPainterPath tilePath = ui::shapePath(ui::Outline::rounded(6), tile);
        if (m_value == QLatin1String("gradient")) {
            QLinearGradient g(tile.topLeft(), tile.bottomLeft());
            g.setColorAt(0, QColor(255, 255, 255, 38));
            g.setColorAt(1, QColor(255, 255, 255, 10));
            p.fillPath(tilePath, g);
        } else {
            p.fillPath(tilePath,
                       QColor(255, 255, 255, m_value == QLatin1String("graphite") ? 28 : 15));
        }
        QFont f = font();
        f.setPixelSize(11);
        f.setWeight(selected ? QFont::Bold : QFont::Medium);
        p.setFont(f);
        p.setPen(palette().color(selected ? QPalette::WindowText : QPalette::PlaceholderText));
        p.drawText(QRectF(0, 53, width(), 20), Qt::AlignHCenter | Qt::AlignVCenter, text());
    }

private:
    QString m_value;
};

// One accent colour as a small circle; ringed when it is the current accent.
class AccentCircle : public QAbstractButton {
public:
    AccentCircle(QColor color, QWidget* parent) : QAbstractButton(parent), m_color(color) {
        setFixedSize(24, 24);
        setCursor(Qt::PointingHandCursor);
    }
    bool current = false;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF circle(3, 3, 18, 18);
        p.setBrush(m_color);
        if (current) {
            p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        } else {
            p.setPen(QPen(QColor(0, 0, 0, 38), 0.5));
        }
        p.drawEllipse(circle);
    }

private:
    QColor m_color;
};

QString capitalized(const QString& s) {
    return s.left(1).toUpper() + s.mid(1);
}

}  // namespace

QString rawValue(SettingsTab tab) {
    return QString::fromLatin1(infoFor(tab).raw);
}

std::optional<SettingsTab> settingsTabFromRaw(const QString& raw) {
    for (const auto& t : tabs()) {
        if (raw == QLatin1String(t.raw)) {
            return t.tab;
        }
    }
    return std::nullopt;
}

QString title(SettingsTab tab) {
    return QString::fromUtf8(infoFor(tab).title);
}

QString SettingsWindow::formatSeconds(double v) {
    return QString::asprintf("%.1f s", v);
}
QString SettingsWindow::formatPercent(double v) {
    return QString::number(std::llround(v)) + QStringLiteral(" %");
}
QString SettingsWindow::formatMinutes(double v) {
    return QString::number(std::llround(v)) + QStringLiteral(" m");
}

struct SettingsWindow::Observer {
    Subscription subscription;
    Subscription monitorStatus;
};

SettingsWindow::SettingsWindow(SettingsStore& settings, QString version, QString buildNumber,
                               QWidget* parent)
    : QWidget(parent),
      m_settings(settings),
      m_version(std::move(version)),
      m_buildNumber(std::move(buildNumber)),
      m_observer(std::make_unique<Observer>()) {
    setWindowTitle(QStringLiteral("Korvo Settings"));
    resize(700, 460);

    auto* split = new QHBoxLayout(this);
    split->setContentsMargins(0, 0, 0, 0);
    split->setSpacing(0);

    m_sidebar = new QListWidget;
    m_sidebar->setObjectName(QStringLiteral("sidebar"));
    m_sidebar->setFixedWidth(190);
    m_sidebar->setIconSize(QSize(22, 22));
    m_sidebar->setFrameShape(QFrame::NoFrame);
    m_sidebar->setAccessibleName(QStringLiteral("Sections"));
    split->addWidget(m_sidebar);

    auto* detail = new QVBoxLayout;
    detail->setContentsMargins(20, 14, 20, 14);
    m_title = new QLabel;
    m_title->setObjectName(QStringLiteral("title"));
    QFont tf = m_title->font();
    tf.setPointSizeF(tf.pointSizeF() * 1.35);
    tf.setBold(true);
    m_title->setFont(tf);
    detail->addWidget(m_title);
    m_pages = new QStackedWidget;
    detail->addWidget(m_pages, 1);
    split->addLayout(detail, 1);

    // Sections appear where their first tab comes in tab order.
    QStringList seen;
    std::vector<std::pair<QString, std::vector<SettingsTab>>> sections;
    for (const auto& t : tabs()) {
        const QString s = QString::fromLatin1(t.section);
        auto it = std::find_if(sections.begin(), sections.end(),
                               [&](const auto& x) { return x.first == s; });
        if (it == sections.end()) {
            sections.push_back({s, {t.tab}});
        } else {
            it->second.push_back(t.tab);
        }
    }
    std::vector<QWidget*> pageFor(tabs().size(), nullptr);
    for (const auto& [name, members] : sections) {
        auto* header = new QListWidgetItem(name, m_sidebar);
        header->setFlags(Qt::NoItemFlags);
        QFont hf = m_sidebar->font();
        hf.setPointSizeF(hf.pointSizeF() * 0.85);
        hf.setBold(true);
        header->setFont(hf);
        for (SettingsTab tab : members) {
            auto* item = new QListWidgetItem(badgeIcon(infoFor(tab)), title(tab), m_sidebar);
            item->setData(Qt::UserRole, static_cast<int>(tab));
        }
    }
    for (const auto& t : tabs()) {
        m_pages->addWidget(buildPage(t.tab));
    }
    QObject::connect(m_sidebar, &QListWidget::currentItemChanged, this,
                     [this](QListWidgetItem* item) {
                         if (item && item->data(Qt::UserRole).isValid()) {
                             select(static_cast<SettingsTab>(item->data(Qt::UserRole).toInt()));
                         }
                     });
    // Screen readers choose a tab by selecting it, which leaves the current item alone.
    QObject::connect(m_sidebar, &QListWidget::itemSelectionChanged, this, [this] {
        const auto chosen = m_sidebar->selectedItems();
        if (chosen.size() == 1 && chosen.front()->data(Qt::UserRole).isValid()) {
            select(static_cast<SettingsTab>(chosen.front()->data(Qt::UserRole).toInt()));
        }
    });
    m_observer->subscription = m_settings.observe([this](const QString&) { refresh(); });
    select(SettingsTab::general);
    refresh();
    nameControls(this);  // one pass over every page, whoever built it
}

SettingsWindow::~SettingsWindow() = default;

void SettingsWindow::select(SettingsTab tab) {
    m_selection = tab;
    m_pages->setCurrentIndex(static_cast<int>(tab));
    m_title->setText(title(tab));
    for (int i = 0; i < m_sidebar->count(); ++i) {
        auto* item = m_sidebar->item(i);
        if (item->data(Qt::UserRole).isValid() &&
            item->data(Qt::UserRole).toInt() == static_cast<int>(tab) &&
            m_sidebar->currentItem() != item) {
            m_sidebar->setCurrentItem(item);
        }
    }
}

void SettingsWindow::refresh() {
    if (m_refreshing) {
        return;
    }
    m_refreshing = true;
    for (const auto& r : m_refreshers) {
        r();
    }
    m_refreshing = false;
}

QWidget* SettingsWindow::buildPage(SettingsTab tab) {
    switch (tab) {
        case SettingsTab::general:
            return generalPage();
        case SettingsTab::appearance:
            return appearancePage();
        case SettingsTab::battery:
            return batteryPage();
        case SettingsTab::nowPlaying:
            return nowPlayingPage();
        case SettingsTab::calendar:
            return calendarPage();
        case SettingsTab::clipboard:
            return clipboardPage();
        case SettingsTab::notifications:
            return notificationsPage();
        case SettingsTab::systemHUD:
            return systemPage();
        case SettingsTab::about:
            return aboutPage();
    }
    return new QWidget;
}

namespace {

// A scrolling page holding grouped sections.
std::pair<QWidget*, QVBoxLayout*> makePage() {
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 6, 0);
    layout->setSpacing(12);
    scroll->setWidget(body);
    return {scroll, layout};
}

}  // namespace

QVBoxLayout* SettingsWindow::section(QVBoxLayout* page, const QString& title) {
    auto* box = new QGroupBox(title);
    auto* layout = new QVBoxLayout(box);
    layout->setSpacing(8);
    page->addWidget(box);
    return layout;
}

void SettingsWindow::toggle(QVBoxLayout* into, const QString& id, const QString& label,
                            const QString& caption, std::function<bool()> get,
                            std::function<void(bool)> set, std::function<bool()> enabled,
                            const QString& symbol) {
    // A lone "&" would become a keyboard mnemonic ("Power & Thermal").
    auto* box = new QCheckBox(QString(label).replace(QLatin1Char('&'), QStringLiteral("&&")));
    box->setObjectName(QStringLiteral("toggle.") + id);
    if (!symbol.isEmpty()) {
        const QImage img =
            ui::Symbols::render(symbol, 14, palette().color(QPalette::WindowText), 2);
        if (!img.isNull()) {
            box->setIcon(QIcon(QPixmap::fromImage(img)));
        }
    }
    into->addWidget(box);
    if (!caption.isEmpty()) {
        auto* c = captionLabel(caption);
        c->setContentsMargins(24, 0, 0, 0);
        into->addWidget(c);
    }
    QObject::connect(box, &QCheckBox::toggled, this, [this, set](bool on) {
        if (!m_refreshing) {
            set(on);
        }
    });
    m_refreshers.push_back([box, get, enabled] {
        box->setChecked(get());
        box->setEnabled(!enabled || enabled());
    });
}

void SettingsWindow::slider(QVBoxLayout* into, const QString& id, const QString& title, double lo,
                            double hi, double step, std::function<QString(double)> format,
                            std::function<double()> get, std::function<void(double)> set,
                            std::function<bool()> enabled) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(title));
    auto* s = new QSlider(Qt::Horizontal);
    s->setObjectName(QStringLiteral("slider.") + id);
    const int steps = static_cast<int>(std::lround((hi - lo) / step));
    s->setRange(0, steps);
    s->setSingleStep(1);
    s->setPageStep(1);
    row->addWidget(s, 1);
    auto* value = new QLabel;
    value->setObjectName(QStringLiteral("value.") + id);
    value->setStyleSheet(QStringLiteral(
        "QLabel { font-size: 11px; font-weight: 600; padding: 3px 8px; border-radius: 9px;"
        " background: palette(midlight); }"));
    row->addWidget(value);
    into->addLayout(row);
    QObject::connect(s, &QSlider::valueChanged, this, [this, lo, step, set, value, format](int i) {
        const double v = lo + i * step;
        value->setText(format(v));
        if (!m_refreshing) {
            set(v);
        }
    });
    m_refreshers.push_back([s, value, lo, hi, step, get, format, enabled] {
        const double v = get();
        // The stored value is shown as it is, even when it is off the slider's grid.
        s->setValue(static_cast<int>(std::lround((std::clamp(v, lo, hi) - lo) / step)));
        value->setText(format(v));
        s->setEnabled(!enabled || enabled());
    });
}

void SettingsWindow::note(QVBoxLayout* into, const QString& text) {
    into->addWidget(captionLabel(text));
}

void SettingsWindow::valueRow(QVBoxLayout* into, const QString& label, const QString& value) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(label));
    row->addStretch(1);
    auto* v = new QLabel(value);
    v->setForegroundRole(QPalette::PlaceholderText);
    row->addWidget(v);
    into->addLayout(row);
}

QWidget* SettingsWindow::generalPage() {
    auto [page, layout] = makePage();
    auto& s = m_settings;
    auto* startup = section(layout, QStringLiteral("Startup"));
    toggle(
        startup, QStringLiteral("launchAtLogin"), QStringLiteral("Launch at login"), {},
        [&s] { return s.launchAtLogin(); }, [&s](bool v) { s.setLaunchAtLogin(v); });
    auto* behaviour = section(layout, QStringLiteral("Behaviour"));
    toggle(
        behaviour, QStringLiteral("hapticFeedback"), QStringLiteral("Haptic feedback"), {},
        [&s] { return s.hapticFeedback(); }, [&s](bool v) { s.setHapticFeedback(v); });
    slider(
        behaviour, QStringLiteral("toastDuration"), QStringLiteral("Notification duration"), 1.0,
        8.0, 0.5, formatSeconds, [&s] { return s.toastDuration(); },
        [&s](double v) { s.setToastDuration(v); });
    toggle(
        behaviour, QStringLiteral("hoverToExpand"), QStringLiteral("Expand on hover"),
        QStringLiteral("Hovering the notch opens the full card; moving away collapses it."),
        [&s] { return s.hoverToExpand(); }, [&s](bool v) { s.setHoverToExpand(v); });
    displayRows(section(layout, QStringLiteral("Screen")));
    auto* gestures = section(layout, QStringLiteral("Gestures"));
    valueRow(gestures, QStringLiteral("Expand"), QStringLiteral("Scroll down or hover"));
    valueRow(gestures, QStringLiteral("Collapse"), QStringLiteral("Scroll up"));
    valueRow(gestures, QStringLiteral("Switch activity"), QStringLiteral("Scroll left / right"));
    valueRow(gestures, QStringLiteral("Toggle open"), QStringLiteral("Click"));
    layout->addStretch(1);
    return page;
}

void SettingsWindow::displayRows(QVBoxLayout* into) {
    auto& s = m_settings;
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Display")));
    auto* picker = new QComboBox;
    picker->setObjectName(QStringLiteral("display.picker"));
    row->addWidget(picker, 1);
    into->addLayout(row);
    if (IslandScreens::compositorPicksDisplay()) {
        into->addWidget(captionLabel(QStringLiteral(
            "Wayland tells no application where the pointer is: for \u201cDisplay with the "
            "pointer\u201d, as for \u201cMain display\u201d, the compositor picks the display, "
            "usually the one in focus.")));
    }
    QObject::connect(picker, &QComboBox::currentIndexChanged, this, [this, &s, picker](int i) {
        if (!m_refreshing && i >= 0) {
            s.setDisplay(picker->itemData(i).toString());
        }
    });
    // The displays connected now, and the saved one while it is away.
    m_refreshers.push_back([&s, picker] {
        const DisplayOptions options =
            displayOptions(describeScreens(QGuiApplication::screens()), s.display());
        picker->clear();
        for (const auto& entry : options.entries) {
            picker->addItem(entry.label, entry.value);
        }
        picker->setCurrentIndex(static_cast<int>(options.selected));
    });
    for (auto signal : {&QGuiApplication::screenAdded, &QGuiApplication::screenRemoved}) {
        QObject::connect(qApp, signal, this, [this] { refresh(); });
    }
    toggle(
        into, QStringLiteral("hideInFullScreen"), QStringLiteral("Hide in full screen"),
        QStringLiteral("While a full-screen window is active on the island's display, the island "
                       "steps aside; notifications wait until it returns."),
        [&s] { return s.hideInFullScreen(); }, [&s](bool v) { s.setHideInFullScreen(v); });
}

QWidget* SettingsWindow::appearancePage() {
    auto [page, layout] = makePage();
    auto& s = m_settings;
    auto* elements = section(layout, QStringLiteral("Elements"));
    auto* row = new QHBoxLayout;
    const std::array<std::pair<const char*, const char*>, 3> styles{
        {{"Subtle", "black"}, {"Graphite", "graphite"}, {"Gradient", "gradient"}}};
    for (const auto& [label, value] : styles) {
        auto* choice =
            new StyleChoice(QString::fromLatin1(label), QString::fromLatin1(value), nullptr);
        choice->setObjectName(QStringLiteral("style.") + QString::fromLatin1(value));
        row->addWidget(choice);
        QObject::connect(choice, &QAbstractButton::clicked, this,
                         [&s, choice] { s.setIslandStyle(choice->value()); });
        m_refreshers.push_back([&s, choice] {
            choice->selected = s.islandStyle() == choice->value();
            choice->update();
        });
    }
    row->addStretch(1);
    elements->addLayout(row);
    note(elements, QStringLiteral("Background of tiles, rows and cards inside the island. The "
                                  "island itself stays notch-black."));

    auto* accent = section(layout, QStringLiteral("Accent"));
    auto* pickerRow = new QHBoxLayout;
    pickerRow->addWidget(new QLabel(QStringLiteral("Accent color")));
    auto* picker = new QComboBox;
    picker->setObjectName(QStringLiteral("accent.picker"));
    picker->addItem(QStringLiteral("Adaptive — album art"), QStringLiteral("adaptive"));
    for (const auto& [name, color] : accentChoices()) {
        picker->addItem(capitalized(name), name);
    }
    pickerRow->addWidget(picker, 1);
    accent->addLayout(pickerRow);
    QObject::connect(picker, &QComboBox::currentIndexChanged, this, [this, &s, picker](int i) {
        if (!m_refreshing && i >= 0) {
            s.setAccentMode(picker->itemData(i).toString());
        }
    });
    m_refreshers.push_back([&s, picker] {
        const int i = picker->findData(s.accentMode());
        picker->setCurrentIndex(i);  // -1 (blank) for a name the list does not know
    });
    auto* circles = new QHBoxLayout;
    for (const auto& [name, color] : accentChoices()) {
        auto* c = new AccentCircle(color, nullptr);
        c->setObjectName(QStringLiteral("accent.circle.") + name);
        c->setToolTip(capitalized(name));
        circles->addWidget(c);
        const QString value = name;
        QObject::connect(c, &QAbstractButton::clicked, this,
                         [&s, value] { s.setAccentMode(value); });
        m_refreshers.push_back([&s, c, value] {
            c->current = s.accentMode() == value;
            c->update();
        });
    }
    circles->addStretch(1);
    accent->addLayout(circles);
    toggle(
        accent, QStringLiteral("artworkGlow.appearance"), QStringLiteral("Artwork glow"), {},
        [&s] { return s.artworkGlow(); }, [&s](bool v) { s.setArtworkGlow(v); });

    auto* carousel = section(layout, QStringLiteral("Carousel"));
    toggle(
        carousel, QStringLiteral("showCarouselDots"), QStringLiteral("Activity dots"),
        QStringLiteral("Shows which activity is focused when several are live."),
        [&s] { return s.showCarouselDots(); }, [&s](bool v) { s.setShowCarouselDots(v); });
    layout->addStretch(1);
    return page;
}

QWidget* SettingsWindow::batteryPage() {
    auto [page, layout] = makePage();
    auto& s = m_settings;
    auto* charging = section(layout, QStringLiteral("Charging"));
    toggle(
        charging, QStringLiteral("batteryToasts"), QStringLiteral("Charging notifications"),
        QStringLiteral("Charging / Unplugged / Fully Charged toasts in the island."),
        [&s] { return s.batteryToasts(); }, [&s](bool v) { s.setBatteryToasts(v); });
    auto* low = section(layout, QStringLiteral("Low battery"));
    toggle(
        low, QStringLiteral("lowBatteryWarn"), QStringLiteral("Warn on low battery"), {},
        [&s] { return s.lowBatteryWarn(); }, [&s](bool v) { s.setLowBatteryWarn(v); });
    slider(
        low, QStringLiteral("lowBatteryThreshold"), QStringLiteral("Low battery threshold"), 5, 50,
        5, formatPercent, [&s] { return s.lowBatteryThreshold(); },
        [&s](double v) { s.setLowBatteryThreshold(v); }, [&s] { return s.lowBatteryWarn(); });
    auto* peripherals = section(layout, QStringLiteral("Peripherals"));
    toggle(
        peripherals, QStringLiteral("peripheralBatteryWarn"),
        QStringLiteral("Warn when a peripheral runs low"),
        QStringLiteral("A connected mouse, keyboard, headset, controller or pen at 20\u00a0% and "
                       "again at 10\u00a0%."),
        [&s] { return s.peripheralBatteryWarn(); },
        [&s](bool v) { s.setPeripheralBatteryWarn(v); });
    layout->addStretch(1);
    return page;
}

QWidget* SettingsWindow::nowPlayingPage() {
    auto [page, layout] = makePage();
    auto& s = m_settings;
    auto* sources = section(layout, QStringLiteral("Sources"));
    valueRow(sources, QStringLiteral("Media players"), QStringLiteral("Always on"));
    note(sources, QStringLiteral("Any player that publishes itself over MPRIS: Spotify, mpv (with "
                                 "mpv-mpris), VLC, Rhythmbox, Strawberry, Elisa and more. Spotify "
                                 "comes first, then a playing player before a paused one."));
    toggle(
        sources, QStringLiteral("browserMedia"), QStringLiteral("Browser media"),
        QStringLiteral("Media tabs of Firefox, Chromium, Chrome, Brave, Edge, Vivaldi and Opera, "
                       "through their media sessions; YouTube, YouTube Music, SoundCloud and "
                       "Spotify Web are named by site."),
        [&s] { return s.browserMedia(); }, [&s](bool v) { s.setBrowserMedia(v); });
    note(sources, QStringLiteral("Seek, volume, next and previous show where the player or the "
                                 "page offers them."));
    auto* behaviour = section(layout, QStringLiteral("Behaviour"));
    toggle(
        behaviour, QStringLiteral("trackChangeToast"), QStringLiteral("Track-change notification"),
        QStringLiteral("Brief song title toast when the track changes."),
        [&s] { return s.trackChangeToast(); }, [&s](bool v) { s.setTrackChangeToast(v); });
    toggle(
        behaviour, QStringLiteral("artworkGlow"), QStringLiteral("Artwork glow"), {},
        [&s] { return s.artworkGlow(); }, [&s](bool v) { s.setArtworkGlow(v); });
    layout->addStretch(1);
    return page;
}

QWidget* SettingsWindow::calendarPage() {
    auto [page, layout] = makePage();
    auto& s = m_settings;
    auto* first = section(layout, QString());
    toggle(
        first, QStringLiteral("calendarEnabled"), QStringLiteral("Calendar activity"),
        QStringLiteral("Keeps your next event in the carousel with a Join button for Teams, "
                       "Zoom, Meet and Webex."),
        [&s] { return s.calendarEnabled(); }, [&s](bool v) { s.setCalendarEnabled(v); });
    auto* countdown = section(layout, QStringLiteral("Countdown"));
    slider(
        countdown, QStringLiteral("calendarLeadMinutes"), QStringLiteral("Time before event"), 5,
        120, 5, formatMinutes, [&s] { return s.calendarLeadMinutes(); },
        [&s](double v) { s.setCalendarLeadMinutes(v); });
    note(countdown, QStringLiteral("The next event stays in the carousel all day; it escalates to "
                                   "a prominent countdown this many minutes before it starts."));
    layout->addStretch(1);
    return page;
}

QWidget* SettingsWindow::clipboardPage() {
    auto [page, layout] = makePage();
    auto& s = m_settings;
    auto* first = section(layout, QString());
    toggle(
        first, QStringLiteral("clipboardEnabled"), QStringLiteral("Clipboard history"),
        QStringLiteral("Copies appear as a card in the island; click a history row to re-copy."),
        [&s] { return s.clipboardEnabled(); }, [&s](bool v) { s.setClipboardEnabled(v); });
    auto* options = section(layout, QStringLiteral("Options"));
    toggle(
        options, QStringLiteral("otpDetection"), QStringLiteral("Detect OTP codes"),
        QStringLiteral("Copied 4–8 digit codes get a prominent toast."),
        [&s] { return s.otpDetection(); }, [&s](bool v) { s.setOtpDetection(v); });
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("History size")));
    row->addStretch(1);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    for (int size : {10, 30, 50}) {
        auto* b = new QToolButton;
        b->setObjectName(QStringLiteral("history.") + QString::number(size));
        b->setText(QString::number(size));
        b->setCheckable(true);
        group->addButton(b, size);
        row->addWidget(b);
    }
    options->addLayout(row);
    QObject::connect(group, &QButtonGroup::idClicked, this,
                     [&s](int size) { s.setClipboardHistoryLimit(size); });
    m_refreshers.push_back([&s, group] {
        const int limit = s.clipboardHistoryLimit();
        if (auto* b = group->button(limit)) {
            b->setChecked(true);
        } else {
            // A size set elsewhere that the picker does not offer: show none chosen.
            group->setExclusive(false);
            for (auto* other : group->buttons()) {
                other->setChecked(false);
            }
            group->setExclusive(true);
        }
    });
    auto* last = section(layout, QString());
    note(last, QStringLiteral("Content marked concealed by password managers is never shown or "
                              "stored."));
    layout->addStretch(1);
    return page;
}

QString SettingsWindow::monitorStatusText(NotificationMonitorStatus status) {
    switch (status) {
        case NotificationMonitorStatus::refused:
            return QStringLiteral(
                "This session's message bus does not allow watching "
                "notifications, so none can be shown.");
        case NotificationMonitorStatus::unavailable:
            return QStringLiteral("No session message bus to watch notifications on.");
        case NotificationMonitorStatus::off:
        case NotificationMonitorStatus::starting:
        case NotificationMonitorStatus::watching:
            break;
    }
    return {};
}

QWidget* SettingsWindow::notificationsPage() {
    auto [page, layout] = makePage();
    auto& s = m_settings;
    auto* first = section(layout, QString());
    toggle(
        first, QStringLiteral("desktopNotifications"), QStringLiteral("Show desktop notifications"),
        QStringLiteral("Notifications from other applications also appear as toasts in the "
                       "island. Your notification daemon keeps showing them as before."),
        [&s] { return s.desktopNotifications(); }, [&s](bool v) { s.setDesktopNotifications(v); });
    auto* status = captionLabel(QString());
    status->setObjectName(QStringLiteral("notifications.status"));
    status->hide();
    first->addWidget(status);
    m_observer->monitorStatus =
        s.notificationMonitorStatus.subscribe([status](NotificationMonitorStatus st) {
            const QString text = monitorStatusText(st);
            status->setText(text);
            status->setVisible(!text.isEmpty());
        });

    auto* appsSection = section(layout, QStringLiteral("Applications"));
    auto* empty =
        captionLabel(QStringLiteral("Applications appear here once they send a "
                                    "notification."));
    empty->setObjectName(QStringLiteral("notifications.empty"));
    appsSection->addWidget(empty);
    auto* rows = new QVBoxLayout;
    rows->setSpacing(6);
    appsSection->addLayout(rows);
    // One switch per application, kept in place so a click never loses the row it came from.
    auto boxes = std::make_shared<std::map<QString, QCheckBox*>>();
    m_refreshers.push_back([this, &s, rows, empty, boxes] {
        const auto apps = notificationapps::parse(s.notificationApps());
        std::set<QString> listed;
        for (const auto& app : apps) {
            listed.insert(app.name);
            QCheckBox*& box = (*boxes)[app.name];
            if (!box) {
                box = new QCheckBox(
                    QString(app.name).replace(QLatin1Char('&'), QStringLiteral("&&")));
                box->setObjectName(QStringLiteral("notificationApp.") + app.name);
                rows->addWidget(box);
                const QString name = app.name;
                QObject::connect(box, &QCheckBox::toggled, this, [this, &s, name](bool on) {
                    if (m_refreshing) {
                        return;
                    }
                    auto current = notificationapps::parse(s.notificationApps());
                    if (notificationapps::setAllowed(current, name, on)) {
                        s.setNotificationApps(notificationapps::serialise(current));
                    }
                });
            }
            box->setChecked(app.allowed);
            box->setEnabled(s.desktopNotifications());
        }
        for (auto it = boxes->begin(); it != boxes->end();) {
            if (listed.count(it->first) == 0) {
                it->second->deleteLater();
                it = boxes->erase(it);
            } else {
                ++it;
            }
        }
        empty->setVisible(apps.empty());
    });
    auto* last = section(layout, QString());
    note(last, QStringLiteral("Korvo only looks at the notifications applications send; it never "
                              "replaces your notification daemon, and only the list of "
                              "applications is kept."));
    layout->addStretch(1);
    return page;
}

QWidget* SettingsWindow::systemPage() {
    auto [page, layout] = makePage();
    auto& s = m_settings;
    auto* first = section(layout, QString());
    toggle(
        first, QStringLiteral("systemCardEnabled"), QStringLiteral("System card"),
        QStringLiteral("Live stats card in the carousel — swipe to it, hover or click to "
                       "expand."),
        [&s] { return s.systemCardEnabled(); }, [&s](bool v) { s.setSystemCardEnabled(v); });
    auto* stats = section(layout, QStringLiteral("Stats"));
    const std::array<std::pair<const char*, const char*>, 8> labels{{
        {"CPU", "cpu"},
        {"GPU", "cpu.fill"},
        {"Memory", "memorychip"},
        {"Swap", "arrow.left.arrow.right"},
        {"Storage", "internaldrive"},
        {"Network", "network"},
        {"Disk I/O", "externaldrive"},
        {"Power & Thermal", "battery.75"},
    }};
    for (std::size_t i = 0; i < hudstat::kAll.size(); ++i) {
        const HUDStat stat = hudstat::kAll[i];
        const Binding<bool> b = hudstat::binding(s, stat);
        toggle(
            stats, QStringLiteral("stat.") + hudstat::rawValue(stat),
            QString::fromUtf8(labels[i].first), {}, b.get, b.set,
            [&s] { return s.systemCardEnabled(); }, QString::fromLatin1(labels[i].second));
    }
    note(stats, QStringLiteral("The card resizes to fit your selection. Stats poll every 2 s only "
                               "while the card is open."));
    auto* last = section(layout, QString());
    note(last, QStringLiteral("Fan speed and per-sensor temperatures require private SMC access "
                              "and are intentionally not included — thermal pressure is shown in "
                              "Power & Thermal instead."));
    layout->addStretch(1);
    return page;
}

QWidget* SettingsWindow::aboutPage() {
    auto* page = new QWidget;
    auto* col = new QVBoxLayout(page);
    col->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    col->setSpacing(0);

    QPixmap icon(176, 176);
    icon.setDevicePixelRatio(2);
    icon.fill(Qt::transparent);
    {
        QPainter p(&icon);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(ui::shapePath(ui::Outline::rounded(20), QRectF(0, 0, 88, 88)), Qt::black);
        p.fillPath(ui::shapePath(ui::Outline::capsule(), QRectF(19, 12, 50, 16)),
                   QColor(40, 40, 40));
        const QImage glyph = ui::Symbols::render(QStringLiteral("capsule.fill"), 40, Qt::white, 2);
        if (!glyph.isNull()) {
            p.drawImage(QRectF(24, 30, 40, 40), glyph);
        }
    }
    auto* iconLabel = new QLabel;
    iconLabel->setPixmap(icon);
    iconLabel->setAlignment(Qt::AlignHCenter);
    col->addWidget(iconLabel);
    col->addSpacing(10);

    auto* name = new QLabel(QStringLiteral("Korvo"));
    QFont nf = name->font();
    nf.setPointSizeF(nf.pointSizeF() * 1.6);
    nf.setBold(true);
    name->setFont(nf);
    name->setAlignment(Qt::AlignHCenter);
    col->addWidget(name);
    auto* tagline = new QLabel(QStringLiteral("A living island for your notch."));
    tagline->setForegroundRole(QPalette::PlaceholderText);
    tagline->setAlignment(Qt::AlignHCenter);
    col->addWidget(tagline);
    col->addSpacing(2);
    auto* blurb = captionLabel(QStringLiteral(
        "Music, meetings, clipboard, devices and live system stats. One glance up."));
    blurb->setAlignment(Qt::AlignHCenter);
    blurb->setMaximumWidth(280);
    col->addWidget(blurb, 0, Qt::AlignHCenter);
    col->addSpacing(6);
    QString version = QStringLiteral("Version ") + m_version;
    if (!m_buildNumber.isEmpty()) {
        version += QStringLiteral(" (") + m_buildNumber + QLatin1Char(')');
    }
    auto* versionLabel = captionLabel(version);
    versionLabel->setObjectName(QStringLiteral("version"));
    versionLabel->setAlignment(Qt::AlignHCenter);
    col->addWidget(versionLabel);
    col->addSpacing(8);
    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFixedWidth(160);
    col->addWidget(divider, 0, Qt::AlignHCenter);
    col->addSpacing(8);
    auto* beta = captionLabel(QStringLiteral("Free during beta"));
    beta->setAlignment(Qt::AlignHCenter);
    col->addWidget(beta);
    col->addStretch(1);
    return page;
}

}  // namespace korvo
