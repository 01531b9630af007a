#pragma once

#include "core/MainThread.h"
#include "platform/Pasteboard.h"
#include "platform/linux/QtPasteboard.h"
#include "platform/linux/SelectionTransfer.h"

#include <memory>

namespace korvo {

class MainLoop;

/// The X11 CLIPBOARD selection, read off the main thread: a worker with its own X connection
/// watches the owner (XFixes), reads each new owner's targets and, unless they flag the content
/// as concealed or transient, its text up to a cap, and posts the reading to the main thread.
/// What the main thread asks for is that reading; it never waits for an owner. The counter
/// rises with each new owner once its reading is in; what was on the clipboard before
/// construction is never read. Writes go through QClipboard.
class X11Pasteboard final : public Pasteboard {
public:
    /// None when the X server cannot be reached or lacks XFixes. `rules.maxTextBytes` bounds
    /// the text transferred; `display` defaults to $DISPLAY.
    static std::unique_ptr<X11Pasteboard> connect(MainLoop& loop, ClipboardReadingRules rules,
                                                  const char* display = nullptr);
    ~X11Pasteboard() override;
    X11Pasteboard(const X11Pasteboard&) = delete;
    X11Pasteboard& operator=(const X11Pasteboard&) = delete;

    std::int64_t changeCount() const override { return m_count; }
    std::optional<QStringList> types() const override { return m_reading.types; }
    std::optional<QString> string() const override { return m_reading.text; }
    bool canReadImage() const override { return m_reading.image; }
    bool stringIsCut() const override { return m_reading.cut; }
    void declareTypes(const QStringList& types) override;
    void setString(const QString& value, const QString& type) override;

private:
    class Worker;
    explicit X11Pasteboard(std::unique_ptr<Worker> worker);
    void take(std::int64_t count, ClipboardReading reading);

    std::unique_ptr<Worker> m_worker;
    std::int64_t m_count = 0;
    ClipboardReading m_reading;
    QtPasteboard m_writer;
    std::shared_ptr<char> m_life = std::make_shared<char>(0);
    [[no_unique_address]] MainThreadChecker m_thread;
};

}  // namespace korvo
