#pragma once

#include "core/MainLoop.h"
#include "platform/Pasteboard.h"

namespace korvo {

/// A clipboard for the demo tour: every few seconds "someone" copies the next of a few texts,
/// a one-time code or an image. Writes go to memory.
class DemoPasteboard final : public Pasteboard {
public:
    explicit DemoPasteboard(MainLoop& loop, double interval = 9);

    std::int64_t changeCount() const override { return m_changeCount; }
    std::optional<QStringList> types() const override { return m_types; }
    std::optional<QString> string() const override { return m_string; }
    bool canReadImage() const override { return m_image; }
    void declareTypes(const QStringList& types) override;
    void setString(const QString& value, const QString& type) override;

private:
    void copyNext();

    TaskHandle m_timer;
    int m_next = 0;
    std::int64_t m_changeCount = 0;
    QStringList m_types;
    std::optional<QString> m_string;
    bool m_image = false;
};

}  // namespace korvo
