#pragma once

#include "DemoScript.h"
#include "core/Published.h"
#include "platform/ScreenCaptureIndex.h"

namespace korvo {

/// Screen captures for the demo tour: one a round, named as a desktop tool names them, in
/// `folder`. No file is written.
class DemoCaptureIndex final : public ScreenCaptureIndex {
public:
    DemoCaptureIndex(MainLoop& loop, QString folder, double period = 60);

    Subscription watch(std::function<void(const QStringList& added)> added) override;

private:
    MainLoop& m_loop;
    QString m_folder;
    DemoScript m_script;
    Signal<QStringList> m_added;
};

}  // namespace korvo
