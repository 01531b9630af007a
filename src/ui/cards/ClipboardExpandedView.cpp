#include "ClipboardExpandedView.h"

#include "ui/cards/CardPieces.h"
#include "ui/style/Palette.h"
#include "ui/style/Theme.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <memory>

namespace korvo {

using namespace ui;

namespace {

constexpr double kListHeight = 92;
constexpr double kRowHeight = 28;
constexpr double kRowSpacing = 4;
constexpr int kLastCascadeIndex = 4;
constexpr qsizetype kRowCharacters = 52;
constexpr double kCopiedMark = 1.2;  // seconds the "Copied!" mark stays
const QString kCopiedPulse = QStringLiteral("clipboard.copied");

struct ListState {
    double offset = 0;  // how far the list has scrolled up, in points
    QUuid copiedID;     // the entry re-copied last, while its mark shows
};

View row(const PresentationContext& ctx, const std::shared_ptr<ListState>& s,
         const ClipboardEntry& entry) {
    const bool copied = s->copiedID == entry.id && ctx.ui.animator.isPulsing(kCopiedPulse);
    const QString age = relativeAge(entry.date, ctx.now);
    const View mark = copied ? text(QStringLiteral("Copied!"), {9, Weight::bold}, palette::cyan())
                             : text(age, {9}, Theme::secondaryText());
    Animator* animator = &ctx.ui.animator;
    const auto copy = ctx.services.clipboard.copy;
    return hstack(
               6, VAlign::center,
               {text(clipboardRowText(entry.text), {11, Weight::medium}, withAlpha(Qt::white, 0.9))
                    .lineLimit(1),
                spacer(), mark})
        .padding(8, 0, 8, 0)
        .frame(std::nullopt, kRowHeight)
        .background(shape(Outline::rounded(6), elementFill(ctx)))
        .onClick([s, animator, copy, entry] {
            if (copy) {
                copy(entry);
            }
            // A later click on another row takes the mark over and restarts its time.
            s->copiedID = entry.id;
            animator->pulse(kCopiedPulse, kCopiedMark);
        })
        .id(QStringLiteral("clipboard.row.") + entry.id.toString(QUuid::WithoutBraces))
        .accessibility({.name = QStringLiteral("Copy ") + clipboardRowText(entry.text),
                        .description = copied ? QStringLiteral("Copied") : age});
}

// A thin bar at the right edge that shows where the visible part sits in the whole list.
View scrollIndicator(double offset, double contentHeight) {
    const double visible = kListHeight / contentHeight;
    const double barHeight = std::max(12.0, kListHeight * visible);
    const double travel = kListHeight - barHeight;
    const double maxOffset = contentHeight - kListHeight;
    const double y = maxOffset > 0 ? travel * offset / maxOffset : 0;
    return capsule(Fill::solid(withAlpha(Qt::white, 0.3))).frame(3, barHeight).offset(-1, y);
}

}  // namespace

QString relativeAge(const QDateTime& date, const QDateTime& now) {
    const qint64 s = date.msecsTo(now) / 1000;  // truncates toward zero
    if (s < 60) {
        return QStringLiteral("now");
    }
    if (s < 3600) {
        return QString::number(s / 60) + QLatin1Char('m');
    }
    return QString::number(s / 3600) + QLatin1Char('h');
}

QString clipboardRowText(const QString& text) {
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    // Counted in characters as a reader sees them, so an emoji is never cut in half.
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, line);
    qsizetype count = 0;
    qsizetype cut = -1;
    while (graphemes.toNextBoundary() >= 0) {
        if (++count == kRowCharacters) {
            cut = graphemes.position();
        }
        if (count > kRowCharacters) {
            return line.left(cut) + QStringLiteral("…");
        }
    }
    return line;
}

View clipboardExpandedView(const PresentationContext& ctx) {
    auto s = ctx.ui.animator.state<ListState>(QStringLiteral("clipboard.card"));
    const auto history = ctx.services.clipboard.history ? ctx.services.clipboard.history()
                                                        : std::vector<ClipboardEntry>{};
    const auto n = static_cast<double>(history.size());
    const double contentHeight = history.empty() ? 0 : n * kRowHeight + (n - 1) * kRowSpacing;
    const double maxOffset = std::max(0.0, contentHeight - kListHeight);
    s->offset = std::clamp(s->offset, 0.0, maxOffset);  // the list may have shrunk

    Views rows;
    for (std::size_t i = 0; i < history.size(); ++i) {
        const int index = std::min(static_cast<int>(i), kLastCascadeIndex);
        rows.push_back(cascade(
            ctx.ui, QStringLiteral("clipboard.") + history[i].id.toString(QUuid::WithoutBraces),
            index, row(ctx, s, history[i])));
    }
    View list = vstack(kRowSpacing, HAlign::center, rows)
                    .offset(0, -s->offset)
                    .flexibleFrame(0, kInfinity, kListHeight, kListHeight, Alignment::top())
                    .clip(Outline::rect());
    if (maxOffset > 0) {
        list = list.overlay(scrollIndicator(s->offset, contentHeight),
                            Alignment{HAlign::trailing, VAlign::top});
    }
    list = list.onScroll([s, maxOffset](double /*dx*/, double dy) {
                   s->offset = std::clamp(s->offset - dy, 0.0, maxOffset);
               })
               .id(QStringLiteral("clipboard.list"));
    Views column{list};
    if (history.empty()) {
        // Where the desktop keeps its clipboard to itself the list stays empty for good: say so.
        const auto& available = ctx.services.clipboard.available;
        if (!available || available()) {
            column.push_back(
                text(QStringLiteral("Nothing copied yet"), {11}, Theme::secondaryText()));
        } else {
            column.push_back(
                text(QStringLiteral("This desktop doesn't share its clipboard with Korvo"), {11},
                     Theme::secondaryText())
                    .lineLimit(1));
        }
    }
    return vstack(6, HAlign::leading, column).id(QStringLiteral("card.clipboard"));
}

}  // namespace korvo
