#include "Presentations.h"

#include "ui/island/Theme.h"

namespace korvo {

using namespace ui;

// The per-payload presentations are filled in as each feature lands; until then each state
// shows an empty group of the right size.
View compactActivityView(const ViewContext& /*ctx*/, const std::optional<Activity>& /*activity*/,
                         const NotchGeometry& /*notch*/) {
    return empty();
}

View mediumActivityView(const ViewContext& /*ctx*/, const std::optional<Activity>& /*activity*/) {
    return empty();
}

View expandedActivityView(const ViewContext& /*ctx*/, const std::optional<Activity>& activity) {
    if (!activity) {
        return text(QStringLiteral("Nothing playing"), {13}, Theme::secondaryText());
    }
    return empty();
}

View hudView(const ViewContext& /*ctx*/) { return empty(); }

View toastView(const ViewContext& /*ctx*/, const TransientNotification& toast) {
    Views lines;
    lines.push_back(text(toast.title, {12, Weight::semibold}).lineLimit(1));
    if (toast.subtitle) {
        lines.push_back(text(*toast.subtitle, {10}, Theme::secondaryText()).lineLimit(1));
    }
    return hstack(10, VAlign::center,
                  {symbol(toast.icon, {16, Weight::semibold}), vstack(1, HAlign::leading, lines),
                   spacer()})
        .padding(14, 0, 14, 0);
}

}  // namespace korvo
