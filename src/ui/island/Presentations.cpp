#include "Presentations.h"

#include "ui/cards/SystemHUDView.h"
#include "ui/style/Theme.h"

namespace korvo {

using namespace ui;

View hudView(const PresentationContext& ctx) {
    return systemHUDView(ctx, QStringLiteral("hud"));
}

View toastView(const PresentationContext& /*ctx*/, const TransientNotification& toast) {
    Views lines;
    lines.push_back(text(toast.title, {12, Weight::semibold}).lineLimit(1));
    if (toast.subtitle) {
        lines.push_back(text(*toast.subtitle, {10}, Theme::secondaryText()).lineLimit(1));
    }
    return hstack(10, VAlign::center,
                  {symbol(toast.icon, {16, Weight::semibold}), vstack(1, HAlign::leading, lines),
                   spacer()})
        .padding(14, 0, 14, 0)
        .accessibility({.role = AccessibleRole::alert,
                        .name = toast.title,
                        .description = toast.subtitle.value_or(QString())});
}

}  // namespace korvo
