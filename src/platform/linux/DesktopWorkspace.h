#pragma once

#include "platform/Workspace.h"

namespace korvo {

/// Opens files and addresses with the desktop's default application (xdg-open and friends).
class DesktopWorkspace final : public Workspace {
public:
    void open(const QUrl& url) override;
};

}  // namespace korvo
