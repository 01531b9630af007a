#pragma once

#include "core/MainThread.h"
#include "platform/Pasteboard.h"

#include <QMetaObject>

#include <memory>

class QClipboard;
class QMimeData;

namespace korvo {

/// The desktop clipboard through QClipboard. Types are MIME formats; the counter rises on every
/// change Qt reports. Content flagged by password managers (x-kde-passwordManagerHint = secret)
/// is reported as concealed. Main thread only. Reading waits for the owner's whole transfer on
/// the main thread, so it is the fallback where no reader of the platform's own exists; writing
/// is cheap and serves every platform.
class QtPasteboard final : public Pasteboard {
public:
    static constexpr const char* kPasswordHint = "x-kde-passwordManagerHint";

    /// `clipboard` defaults to the application's.
    explicit QtPasteboard(QClipboard* clipboard = nullptr);
    ~QtPasteboard() override;
    QtPasteboard(const QtPasteboard&) = delete;
    QtPasteboard& operator=(const QtPasteboard&) = delete;

    std::int64_t changeCount() const override { return m_changeCount; }
    std::optional<QStringList> types() const override;
    std::optional<QString> string() const override;
    bool canReadImage() const override;
    void declareTypes(const QStringList& types) override;
    void setString(const QString& value, const QString& type) override;

private:
    void publish();

    QClipboard* m_clipboard;
    QMetaObject::Connection m_changed;
    std::int64_t m_changeCount = 0;
    QStringList m_declared;
    std::unique_ptr<QMimeData> m_pending;
    [[no_unique_address]] MainThreadChecker m_thread;
};

}  // namespace korvo
