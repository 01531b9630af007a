#pragma once

#include "core/Published.h"
#include "platform/PointerDisplay.h"

namespace korvo {

/// A pointer the test moves by hand; it reports only while watched, as the real one reads only
/// then.
class FakePointerDisplay : public PointerDisplaySource {
public:
    Subscription watch(std::function<void(const QString&)> report) override {
        ++watches;
        report(display);
        return m_reports.subscribe([fn = std::move(report)](const QString& d) { fn(d); });
    }

    /// The pointer is on `d`; watchers hear of it at their next read.
    void moveTo(const QString& d) {
        display = d;
        m_reports.send(display);
    }
    bool watched() const { return m_reports.subscriberCount() > 0; }

    QString display = QStringLiteral("A");
    int watches = 0;

private:
    Signal<QString> m_reports;
};

}  // namespace korvo
