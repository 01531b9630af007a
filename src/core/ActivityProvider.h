#pragma once

#include <QString>

#include <utility>

namespace korvo {

/// One small provider per service: the engine starts it once, then the service posts events on
/// its own schedule.
class ActivityProvider {
public:
    virtual ~ActivityProvider() = default;
    virtual QString name() const = 0;
    virtual void start() = 0;
};

/// The provider of a service whose whole part at start-up is to be started; the service then
/// posts for the life of the process.
template <typename Service>
class StartingProvider : public ActivityProvider {
public:
    StartingProvider(Service& service, QString name)
        : m_service(service), m_name(std::move(name)) {}

    QString name() const override { return m_name; }
    void start() override { m_service.start(); }

private:
    Service& m_service;
    QString m_name;
};

}  // namespace korvo
