#pragma once

#include "activities/Activity.h"
#include "ui/kit/Interaction.h"
#include "ui/kit/View.h"

#include <QColor>
#include <QString>

#include <functional>

namespace korvo {

/// Cover art filling an s × s square with rounded corners, or a dim square with a note.
ui::View artworkThumb(const SharedImage& image, double size);

/// Three bars that rise and fall while shown. They stand 4 high on the frame they appear and
/// then start moving; `key` tells one set of bars from another.
ui::View equalizerBars(const ui::ViewContext& ctx, const QString& key, QColor tint);

/// A transport button: the symbol in a square of `size` + 12, shrinking while pressed and
/// growing with a glow while hovered. A click runs `action` before the press shows.
ui::View controlButton(const ui::ViewContext& ctx, const QString& id, const QString& symbolName,
                       double size, std::function<void()> action);

/// A transport button: the control button when the player offers the control, otherwise the
/// same glyph in the same place, dimmed, taking no clicks.
ui::View transportButton(const ui::ViewContext& ctx, const QString& id, const QString& symbolName,
                         double size, bool available, std::function<void()> action);

/// How rolling text moves when it changes.
enum class Roll {
    byValue,   // the leading numbers are compared: a larger one rises from below
    countdown  // the new text always drops in from above
};

/// Text that rolls when it changes: the old string slides out and fades while the new one
/// slides in from the other side. `slot` names the place on screen.
ui::View rollingText(const ui::ViewContext& ctx, const QString& slot, const QString& string,
                     ui::Font font, QColor color, Roll roll);

/// A short swell of a view's scale each time `flag` flips (none when it first shows).
double bounceScale(ui::Animator& animator, const QString& key, bool flag);

}  // namespace korvo
