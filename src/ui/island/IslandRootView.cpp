#include "IslandRootView.h"

#include "settings/HUDStat.h"
#include "ui/island/Presentations.h"
#include "ui/kit/Shapes.h"
#include "ui/style/IslandMetrics.h"
#include "ui/style/Theme.h"

#include <QLocale>

#include <algorithm>

namespace korvo {

using namespace ui;

namespace {

constexpr double kPanelCentreX = kPanelWidth / 2;

// What a reader hears about the island itself; its press action toggles it open.
QString stateDescription(IslandState state) {
    switch (state) {
        case IslandState::hidden:
            return QStringLiteral("Idle");
        case IslandState::compact:
            return QStringLiteral("Compact");
        case IslandState::medium:
            return QStringLiteral("Summary");
        case IslandState::expanded:
            return QStringLiteral("Expanded");
        case IslandState::hud:
            return QStringLiteral("System statistics");
    }
    return {};
}

QString focusTag(const std::optional<Activity>& focused) {
    return focused ? focused->id : QStringLiteral("none");
}

View layered(const std::vector<Animator::Layer>& layers, Alignment alignment) {
    Views views;
    for (const auto& l : layers) {
        View v(l.node);
        if (!l.offset.isNull()) {
            v = v.offset(l.offset.x(), l.offset.y());
        }
        if (l.opacity < 1) {
            v = v.opacity(l.opacity);
        }
        if (l.leaving) {
            v = v.accessibilityHidden();  // readers have moved on to what replaces it
        }
        views.push_back(v);
    }
    return zstack(alignment, views);
}

// Content takes whatever room the island gives it, centred unless it fills the room itself.
View filling(const View& v, Alignment a = Alignment::center()) {
    return v.flexibleFrame(0, kInfinity, 0, kInfinity, a);
}

}  // namespace

IslandRootView::IslandRootView(IslandViewModel& viewModel, ActivityEngine& engine,
                               const ViewPreferences& settings, const MainLoop& loop,
                               Animator& animator, const Interaction& interaction,
                               UpcomingEvents upcoming, IslandServices services)
    : m_viewModel(viewModel),
      m_engine(engine),
      m_settings(settings),
      m_loop(loop),
      m_animator(animator),
      m_interaction(interaction),
      m_upcoming(std::move(upcoming)),
      m_services(std::move(services)) {}

QSizeF IslandRootView::targetSize() const {
    SizeInputs inputs;
    inputs.enabledStats = static_cast<int>(m_settings.enabledStats().size());
    const auto& focused = m_engine.focused.get();
    const IslandState state = m_viewModel.state.get();
    // Only the expanded calendar card is sized by today's events; counting them converts every
    // event's time, too much to do on every frame of every other presentation.
    const auto& upcoming = m_upcoming ? m_upcoming : m_services.calendar.upcoming;
    if (upcoming && state == IslandState::expanded && focused &&
        payloadCase(focused->payload) == PayloadCase::calendar) {
        inputs.calendarEventsToday = countTodayOrOngoing(upcoming(), m_loop.wallNow());
    }
    return islandSize(state, m_viewModel.notchGeometry.get(), focused, inputs);
}

IslandRootView::Header IslandRootView::headerFor(const Activity& focused, const QDateTime& now) {
    switch (payloadCase(focused.payload)) {
        case PayloadCase::nowPlaying:
            return {QStringLiteral("Now Playing"),
                    std::get<NowPlayingInfo>(focused.payload).sourceLabel.value_or(QString())};
        case PayloadCase::battery:
            return {QStringLiteral("Battery"), std::get<BatteryInfo>(focused.payload).isCharging
                                                   ? QStringLiteral("Charging")
                                                   : QStringLiteral("On battery")};
        case PayloadCase::calendar:
            return {QStringLiteral("Calendar"),
                    QLocale().toString(now.toLocalTime().date(), QStringLiteral("ddd, MMM d"))};
        case PayloadCase::clipboard: {
            const int count = std::get<ClipboardInfo>(focused.payload).count;
            return {QStringLiteral("Clipboard"),
                    QString::number(count) +
                        (count == 1 ? QStringLiteral(" item") : QStringLiteral(" items"))};
        }
        case PayloadCase::devices: {
            const auto& devices = std::get<std::vector<ConnectedDeviceInfo>>(focused.payload);
            const auto active = std::count_if(devices.begin(), devices.end(),
                                              [](const auto& d) { return d.isLinkActive; });
            return {QStringLiteral("Devices"),
                    active > 0 ? QString::number(active) + QStringLiteral(" connected")
                               : QString::number(devices.size()) + QStringLiteral(" paired")};
        }
        case PayloadCase::systemStats:
            return {QStringLiteral("System"), QStringLiteral("Live")};
        case PayloadCase::bluetooth:
        case PayloadCase::generic:
            break;
    }
    return {};
}

View IslandRootView::content(IslandState state, const std::optional<Activity>& focused) {
    const PresentationContext ctx{
        {m_animator, m_interaction}, m_loop.wallNow(), m_services, m_settings};
    const auto& queue = m_engine.toastQueue.get();
    if (state == IslandState::medium && !queue.empty()) {
        const TransientNotification& t = queue.front();
        // The now-playing row already shows the new track; its toast would only repeat it.
        const bool nowPlayingShowsIt = t.icon == QLatin1String("music.note") && focused &&
                                       focused->kind == Activity::Kind::nowPlaying;
        if (!nowPlayingShowsIt) {
            const Transition move{0.18, 0, Curve::easeOut, true, {0, -12}};
            return layered(m_animator.transition(QStringLiteral("island.toast"), t.id.toString(),
                                                 filling(toastView(ctx, t)), move, move),
                           Alignment::center());
        }
    }
    View group;
    switch (state) {
        case IslandState::hidden:
            group = empty();
            break;
        case IslandState::compact:
            group = compactActivityView(ctx, focused, m_viewModel.notchGeometry.get());
            break;
        case IslandState::medium:
            group = mediumActivityView(ctx, focused);
            break;
        case IslandState::expanded:
            group = expandedActivityView(ctx, focused);
            break;
        case IslandState::hud:
            group = hudView(ctx).padding(14, 10, 14, 12);
            break;
    }
    Transition in{0.18, 0, Curve::easeOut, true, {}};
    Transition out{0.18, 0, Curve::easeOut, true, {}};
    if (m_viewModel.isCarouselSwipe()) {
        // Carousel moves push the new card in from the edge, the old one out the other way.
        const double w = islandSize(state, m_viewModel.notchGeometry.get(), focused, {}).width();
        const bool fromLeading = m_viewModel.slideEdge.get() == IslandViewModel::Edge::leading;
        in = {0.42, 0, Curve::easeOut, false, {fromLeading ? -w : w, 0}};
        out = {0.42, 0, Curve::easeOut, false, {fromLeading ? w : -w, 0}};
    }
    return layered(m_animator.transition(QStringLiteral("island.focus"), focusTag(focused),
                                         filling(group), in, out),
                   Alignment::center());
}

View IslandRootView::header(const std::optional<Activity>& focused, double h) {
    const bool show = m_viewModel.state.get() == IslandState::expanded && focused;
    const Header hd = show ? headerFor(*focused, m_loop.wallNow()) : Header{};
    View row = empty();
    if (!hd.title.isEmpty()) {
        row = hstack(8, VAlign::center,
                     {text(hd.title, {11, Weight::bold}).lineLimit(1).minimumScaleFactor(0.75),
                      spacer(),
                      text(hd.detail, {10, Weight::medium}, Theme::secondaryText())
                          .lineLimit(1)
                          .minimumScaleFactor(0.75)})
                  .padding(18, 0, 18, 0)
                  .flexibleFrame(0, kInfinity, h, h)
                  .id(QStringLiteral("island.header"));
    }
    const Transition fade{0.2, 0, Curve::easeInOut, true, {}};
    return layered(m_animator.transition(QStringLiteral("island.header"),
                                         hd.title.isEmpty() ? QStringLiteral("none") : hd.title,
                                         row, fade, fade),
                   Alignment::top());
}

View IslandRootView::toastPill(double h) {
    const auto state = m_viewModel.state.get();
    const auto& queue = m_engine.toastQueue.get();
    View pill = empty();
    QString key = QStringLiteral("none");
    if ((state == IslandState::expanded || state == IslandState::hud) && !queue.empty()) {
        const auto& t = queue.front();
        key = t.id.toString();
        const QString line = t.subtitle ? t.title + QStringLiteral(" — ") + *t.subtitle : t.title;
        pill = hstack(6, VAlign::center,
                      {symbol(t.icon, {10, Weight::semibold}),
                       text(line, {10, Weight::semibold}).lineLimit(1)})
                   .padding(10, 4, 10, 4)
                   .background(capsule(Fill::solid(withAlpha(Qt::white, 0.14))))
                   .padding(0, h + 4, 0, 0)
                   .accessibility({.role = AccessibleRole::alert,
                                   .name = t.title,
                                   .description = t.subtitle.value_or(QString())});
    }
    // Approximates the micro spring's quick, slightly bouncy entrance.
    const Transition move{0.25, 0, Curve::easeOut, true, {0, -10}};
    return layered(m_animator.transition(QStringLiteral("island.pill"), key, pill, move, move),
                   Alignment::top());
}

View IslandRootView::carouselDots() {
    const auto state = m_viewModel.state.get();
    const auto& activities = m_engine.activities.get();
    View dots = empty();
    QString key = QStringLiteral("none");
    if (m_settings.showCarouselDots() && activities.size() >= 2 &&
        (state == IslandState::medium || state == IslandState::expanded)) {
        key = QStringLiteral("dots");
        std::vector<Activity> ordered = activities;
        std::stable_sort(ordered.begin(), ordered.end(),
                         [](const auto& a, const auto& b) { return a.startedAt < b.startedAt; });
        const auto& focused = m_engine.focused.get();
        Views capsules;
        for (const auto& a : ordered) {
            const bool isFocused = focused && focused->id == a.id;
            const double w = m_animator.spring(QStringLiteral("dot.w.") + a.id, isFocused ? 13 : 4,
                                               Theme::microSpring, 0.1);
            const double alpha = m_animator.spring(QStringLiteral("dot.a.") + a.id,
                                                   isFocused ? 0.9 : 0.3, Theme::microSpring, 0.01);
            capsules.push_back(capsule(Fill::solid(withAlpha(Qt::white, alpha))).frame(w, 4));
        }
        dots = hstack(4, VAlign::center, capsules)
                   .id(QStringLiteral("island.dots"))
                   .padding(0, 0, 0, 4);
    }
    const Transition fade{0.2, 0, Curve::easeInOut, true, {}};
    return layered(m_animator.transition(QStringLiteral("island.dots"), key, dots, fade, fade),
                   Alignment::bottom());
}

View IslandRootView::island() {
    const IslandState state = m_viewModel.state.get();
    const NotchGeometry notch = m_viewModel.notchGeometry.get();
    const auto& focused = m_engine.focused.get();
    const QSizeF target = targetSize();
    const Spring& spring = m_viewModel.animationSpring();

    const double w = m_animator.spring(QStringLiteral("island.width"), target.width(), spring);
    const double h = m_animator.spring(QStringLiteral("island.height"), target.height(), spring);
    const double r =
        m_animator.spring(QStringLiteral("island.radius"), bottomRadius(state, notch), spring);
    const double shadowAlpha = m_animator.spring(
        QStringLiteral("island.shadow"), state == IslandState::hidden ? 0 : 0.35, spring, 0.01);
    const double shadowRadius = m_animator.spring(QStringLiteral("island.shadow.radius"),
                                                  state == IslandState::expanded ? 18 : 8, spring);
    const bool hoverCompact = m_viewModel.isHovering.get() && state == IslandState::compact;
    const double glow = m_animator.spring(QStringLiteral("island.glow"), hoverCompact ? 0.1 : 0,
                                          Theme::microSpring, 0.01);
    const double scale = m_animator.spring(QStringLiteral("island.scale"), hoverCompact ? 1.04 : 1,
                                           Theme::microSpring, 0.001);

    const Outline outline = Outline::rounded(CornerRadii::bottom(std::max(0.0, r)));
    const bool underNotch = notch.hasPhysicalNotch && state >= IslandState::medium;
    // The expanded header owns the top band even where the screen has no notch; the card's
    // heights leave room for it, so the content starts below it rather than under it.
    const bool underHeader = state == IslandState::expanded && focused &&
                             !headerFor(*focused, m_loop.wallNow()).title.isEmpty();
    const View body =
        content(state, focused).padding(0, underNotch || underHeader ? notch.height : 0, 0, 0);
    const Transition in{0.18, 0.14, Curve::easeOut, true, {}};
    const Transition out{0.07, 0, Curve::easeIn, true, {}};
    const View stateContent =
        layered(m_animator.transition(QStringLiteral("island.state"), toString(state),
                                      filling(body), in, out),
                Alignment::center());

    IslandViewModel* vm = &m_viewModel;
    View island = zstack(Alignment::center(),
                         {shape(outline, Fill::solid(Theme::islandColor())), filling(stateContent)})
                      .overlay(header(focused, notch.height), Alignment::top())
                      .overlay(toastPill(notch.height), Alignment::top())
                      .overlay(carouselDots(), Alignment::bottom())
                      .frame(w, h)
                      .clip(outline)
                      .compositingGroup()
                      .shadow(withAlpha(Qt::black, shadowAlpha), shadowRadius, 0, 4)
                      .shadow(withAlpha(Qt::white, glow), 10, 0, 2)
                      .scale(scale)
                      .onHover([vm](bool inside) { vm->hoverChanged(inside); })
                      .onClick([vm] { vm->toggleExpanded(); })
                      .id(QStringLiteral("island"))
                      .accessibility({.role = AccessibleRole::group,
                                      .name = QStringLiteral("Island"),
                                      .description = stateDescription(state)});

    m_islandRadius = std::max(0.0, r) * scale;
    m_islandRect =
        QRectF(kPanelCentreX - w * scale / 2, -(h * scale - h) / 2, w * scale, h * scale);
    return island;
}

QPainterPath IslandRootView::islandOutline() const {
    return shapePath(Outline::rounded(CornerRadii::bottom(m_islandRadius)), m_islandRect);
}

View IslandRootView::build() {
    return vstack(0, HAlign::center, {island(), spacer(0)})
        .frame(kPanelWidth, kPanelHeight, Alignment::top());
}

}  // namespace korvo
