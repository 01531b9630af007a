#pragma once

class QWidget;

namespace korvo {

/// Gives every control under `root` a name a screen reader can say, where it has none: a slider
/// or a picker takes the label that starts its row (and the label becomes its buddy, so readers
/// also see which label belongs to it); a button with a text of its own keeps it and takes the
/// row's label as its description; a button with neither takes its tooltip.
void nameControls(QWidget* root);

}  // namespace korvo
