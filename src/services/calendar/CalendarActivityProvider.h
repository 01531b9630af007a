#pragma once

#include "core/ActivityProvider.h"
#include "core/MainLoop.h"

namespace korvo {

class CalendarService;

/// Starts the calendar service from the main queue, so the engine's start returns at once.
class CalendarActivityProvider final : public ActivityProvider {
public:
    CalendarActivityProvider(MainLoop& loop, CalendarService& service,
                             QString name = QStringLiteral("Calendar"))
        : m_loop(loop), m_service(service), m_name(std::move(name)) {}

    QString name() const override { return m_name; }
    void start() override;

private:
    MainLoop& m_loop;
    CalendarService& m_service;
    QString m_name;
};

}  // namespace korvo
