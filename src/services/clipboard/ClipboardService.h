#pragma once

#include "activities/Activity.h"
#include "activities/ClipboardEntry.h"
#include "core/Cancellable.h"
#include "core/DebugLog.h"
#include "core/EventBus.h"
#include "core/MainLoop.h"
#include "core/Published.h"
#include "settings/Preferences.h"

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <optional>
#include <vector>

namespace korvo {

class Pasteboard;
class SystemLog;

/// Watches the clipboard: copied texts go into an in-memory history and the clipboard activity,
/// with a toast (a prominent one for one-time codes); copied images get a toast only. The
/// clipboard has no change notice worth trusting, so a counter is polled twice a second.
/// Main-thread object.
class ClipboardService {
public:
    static const QString activityID;
    /// Markers by which password managers and clipboard tools flag content not to be recorded.
    static const QString concealed;
    static const QString transient;

    static constexpr double kPollInterval = 0.5;
    static constexpr double kPollTolerance = 0.2;
    static constexpr int kPreviewCharacters = 44;
    /// A longer text still counts as a copy but is kept cut to this many UTF-8 bytes, so a full
    /// history stays bounded in memory.
    static constexpr qsizetype kMaxTextBytes = 1024 * 1024;

    /// Takes the clipboard's change counter now: what is on it at launch is never taken in.
    /// `log` is the clipboard's own debug log; `systemLog` may be null.
    ClipboardService(MainLoop& loop, EventBus& bus, ClipboardPreferences& settings,
                     Pasteboard& pasteboard, DebugLog log, SystemLog* systemLog);
    ~ClipboardService();
    ClipboardService(const ClipboardService&) = delete;
    ClipboardService& operator=(const ClipboardService&) = delete;

    /// Logs the start and polls every 0.5 s from now on. Call once.
    void start();

    /// Puts an entry back on the clipboard, marked transient, without taking it in again.
    void copyToPasteboard(const ClipboardEntry& item);

    /// Newest first; never persisted.
    Published<std::vector<ClipboardEntry>> history;

    std::int64_t lastChangeCount() const { return m_lastChangeCount; }

    /// User-perceived characters (grapheme clusters).
    static int characterCount(const QString& text);
    /// The one-line form of a text, cut to 44 characters and "…".
    static QString preview(const QString& text);
    /// The code in a text of 4 to 8 numeric characters once blanks are removed.
    static std::optional<QString> oneTimeCode(const QString& text);
    /// `text` cut to at most `maxBytes` of UTF-8, never inside a character.
    static QString cutToBytes(QStringView text, qsizetype maxBytes);

private:
    void poll();
    void imageCheck();
    void publish(const QString& text);
    void dbg(const QString& message) const;

    MainLoop& m_loop;
    EventBus& m_bus;
    ClipboardPreferences& m_settings;
    Pasteboard& m_pasteboard;
    DebugLog m_log;
    SystemLog* m_systemLog;

    TaskHandle m_timer;
    std::int64_t m_lastChangeCount = 0;
};

}  // namespace korvo
