#pragma once

#include "platform/MediaKeys.h"

#include <QByteArray>

namespace korvo {

/// Media keys as XTest key events of the XF86 audio keys. Posting is allowed whenever an X
/// display with the XTest extension is reachable. Each call opens its own connection, so calls
/// from any thread are safe.
class XTestMediaKeys final : public MediaKeys {
public:
    /// `display` names the X display; empty means $DISPLAY.
    explicit XTestMediaKeys(QByteArray display = {}) : m_display(std::move(display)) {}

    bool isTrusted() override;
    bool post(int code, bool press) override;

private:
    QByteArray m_display;
};

}  // namespace korvo
