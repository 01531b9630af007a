#include "ClipboardService.h"
#include "core/MainThread.h"
#include "platform/Pasteboard.h"
#include "platform/SystemLog.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace korvo {

namespace {

// Start of every grapheme cluster in `text`, up to `limit` of them.
std::vector<qsizetype> clusterStarts(const QString& text, qsizetype limit) {
    std::vector<qsizetype> starts;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype pos = 0;
    while (pos < text.size() && static_cast<qsizetype>(starts.size()) < limit) {
        starts.push_back(pos);
        pos = finder.toNextBoundary();
        if (pos < 0) {
            break;
        }
    }
    return starts;
}

qsizetype utf8Bytes(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80) {
        return 1;
    }
    if (u < 0x800 || QChar::isSurrogate(u)) {
        return 2;  // a surrogate pair makes four bytes together
    }
    return 3;
}

}  // namespace

const QString ClipboardService::activityID = QStringLiteral("clipboard.system");
const QString ClipboardService::concealed = QString::fromLatin1(Pasteboard::kConcealedType);
const QString ClipboardService::transient = QString::fromLatin1(Pasteboard::kTransientType);

ClipboardService::ClipboardService(MainLoop& loop, EventBus& bus, ClipboardPreferences& settings,
                                   Pasteboard& pasteboard, DebugLog log, SystemLog* systemLog)
    : m_loop(loop),
      m_bus(bus),
      m_settings(settings),
      m_pasteboard(pasteboard),
      m_log(std::move(log)),
      m_systemLog(systemLog),
      m_lastChangeCount(pasteboard.changeCount()) {}

ClipboardService::~ClipboardService() = default;

void ClipboardService::start() {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    const QString count = QString::number(m_lastChangeCount);
    dbg(QStringLiteral("service started, initial changeCount=") + count);
    if (m_systemLog) {
        m_systemLog->info(QStringLiteral("[clipboard] service started, initial changeCount=") +
                          count);
    }
    m_timer = m_loop.scheduleRepeating(kPollInterval, kPollTolerance, [this] { poll(); });
}

void ClipboardService::poll() {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    const std::int64_t count = m_pasteboard.changeCount();
    if (count == m_lastChangeCount) {
        return;
    }
    // Used up before the setting is read: a copy made while the feature is off stays out.
    m_lastChangeCount = count;
    if (!m_settings.clipboardEnabled()) {
        return;
    }
    const QStringList types = m_pasteboard.types().value_or(QStringList());
    dbg(QStringLiteral("change #") + QString::number(count) + QStringLiteral(" types=") +
        types.join(QLatin1Char(',')));
    if (types.contains(concealed) || types.contains(transient)) {
        return;  // never read, never kept
    }
    const std::optional<QString> string = m_pasteboard.string();
    if (!string) {
        dbg(QStringLiteral("string read: nil"));
        imageCheck();
        return;
    }
    // A huge text is neither copied nor counted whole, so a 100 MB copy costs the tick no more
    // than the part that is kept; its count in the log is that part's, marked with a "+" (also
    // when the pasteboard itself transferred only the head).
    const QStringView trimmed = QStringView(*string).trimmed();
    QString text = cutToBytes(trimmed, kMaxTextBytes);
    if (text.size() < trimmed.size()) {
        text = text.trimmed();
    }
    const bool countedWhole = !m_pasteboard.stringIsCut() && string->size() <= kMaxTextBytes;
    dbg(QStringLiteral("string read: ok(") +
        QString::number(characterCount(countedWhole ? *string : text)) +
        (countedWhole ? QString() : QStringLiteral("+")) + QStringLiteral(" chars)"));
    if (text.isEmpty()) {
        imageCheck();
        return;
    }
    publish(text);
}

void ClipboardService::publish(const QString& text) {
    std::vector<ClipboardEntry> items = history.get();
    if (!items.empty() && items.front().text == text) {
        return;  // the same copy again; only the newest entry counts
    }
    items.insert(items.begin(), ClipboardEntry{QUuid::createUuid(), text, m_loop.wallNow()});
    // A hand-edited negative limit keeps nothing rather than failing.
    const auto limit = static_cast<std::size_t>(std::max(0, m_settings.clipboardHistoryLimit()));
    if (items.size() > limit) {
        items.resize(limit);
    }
    const int count = static_cast<int>(items.size());
    history.set(std::move(items));

    const std::optional<QString> code =
        m_settings.otpDetection() ? oneTimeCode(text) : std::nullopt;
    const QString shown = preview(text);

    m_bus.post(
        ActivityUpdated{Activity{activityID, Activity::Kind::clipboard, ActivityPriority::low,
                                 m_loop.wallNow(), ClipboardInfo{shown, count, code.has_value()}}});

    if (code) {
        m_bus.post(TransientNotification::make(QStringLiteral("key.fill"),
                                               QStringLiteral("Code copied"), *code, 4.0,
                                               ActivityPriority::high));
    } else {
        m_bus.post(TransientNotification::make(QStringLiteral("doc.on.clipboard.fill"),
                                               QStringLiteral("Copied"), shown, 2.5,
                                               ActivityPriority::low));
    }
}

void ClipboardService::imageCheck() {
    if (!m_pasteboard.canReadImage()) {
        return;
    }
    m_bus.post(TransientNotification::make(QStringLiteral("photo.on.rectangle"),
                                           QStringLiteral("Image copied"), std::nullopt, 2.5,
                                           ActivityPriority::low));
}

void ClipboardService::copyToPasteboard(const ClipboardEntry& item) {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    const QString plain = QString::fromLatin1(Pasteboard::kPlainText);
    m_pasteboard.declareTypes({plain, transient});
    m_pasteboard.setString(item.text, plain);
    m_pasteboard.setString(QString(), transient);
    m_lastChangeCount = m_pasteboard.changeCount();
}

void ClipboardService::dbg(const QString& message) const {
    m_log.write(message);
}

int ClipboardService::characterCount(const QString& text) {
    int count = 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    while (finder.toNextBoundary() >= 0) {
        ++count;
    }
    return count;
}

QString ClipboardService::preview(const QString& text) {
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    // One cluster more than shown tells whether anything is cut.
    const auto starts = clusterStarts(line, kPreviewCharacters + 1);
    if (static_cast<int>(starts.size()) <= kPreviewCharacters) {
        return line;
    }
    return line.left(starts[kPreviewCharacters]) + QChar(0x2026);
}

std::optional<QString> ClipboardService::oneTimeCode(const QString& text) {
    QString digits = text;
    digits.remove(QLatin1Char(' '));
    const auto starts = clusterStarts(digits, 9);
    if (starts.size() < 4 || starts.size() > 8) {
        return std::nullopt;
    }
    for (const qsizetype start : starts) {
        char32_t ucs = digits.at(start).unicode();
        if (QChar::isHighSurrogate(ucs) && start + 1 < digits.size()) {
            ucs = QChar::surrogateToUcs4(digits.at(start), digits.at(start + 1));
        }
        if (!QChar::isNumber(ucs)) {
            return std::nullopt;
        }
    }
    return digits;
}

QString ClipboardService::cutToBytes(QStringView text, qsizetype maxBytes) {
    if (text.size() * 3 <= maxBytes) {
        return text.toString();  // cannot exceed the limit
    }
    qsizetype bytes = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const qsizetype next = bytes + utf8Bytes(text.at(end));
        if (next > maxBytes) {
            break;
        }
        bytes = next;
        ++end;
    }
    if (end >= text.size()) {
        return text.toString();
    }
    // Whether a character starts at `end` depends only on what comes before it and on the code
    // point there, so the finder never looks at the rest of a huge text.
    const QStringView head = text.first(std::min(text.size(), end + 2));
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, head.data(), head.size());
    finder.setPosition(end);
    if (!finder.isAtBoundary()) {
        end = std::max<qsizetype>(0, finder.toPreviousBoundary());
    }
    return text.first(end).toString();
}

}  // namespace korvo
