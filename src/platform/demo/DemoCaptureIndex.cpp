#include "DemoCaptureIndex.h"

namespace korvo {

DemoCaptureIndex::DemoCaptureIndex(MainLoop& loop, QString folder, double period)
    : m_loop(loop), m_folder(std::move(folder)), m_script(loop, period) {
    m_script.add(31, [this] {
        const QString name =
            QStringLiteral("Screenshot from ") +
            m_loop.wallNow().toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh-mm-ss")) +
            QStringLiteral(".png");
        m_added.send({m_folder + QLatin1Char('/') + name});
    });
}

Subscription DemoCaptureIndex::watch(std::function<void(const QStringList&)> added) {
    auto sub = m_added.subscribe(std::move(added));
    m_script.start();
    return sub;
}

}  // namespace korvo
