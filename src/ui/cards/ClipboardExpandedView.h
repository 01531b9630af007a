#pragma once

#include "ui/kit/View.h"
#include "ui/style/PresentationContext.h"

#include <QDateTime>
#include <QString>

namespace korvo {

/// The expanded clipboard card: the history in a 92-high list that scrolls with the wheel and
/// the trackpad; a click on a row copies it again and marks it "Copied!" for 1.2 s.
ui::View clipboardExpandedView(const PresentationContext& ctx);

/// The age of an entry: "now" under a minute, then whole minutes ("5m"), then whole hours
/// ("3h", also beyond a day).
QString relativeAge(const QDateTime& date, const QDateTime& now);

/// An entry as its row shows it: on one line, and cut to 52 characters and "…" from 53 on.
QString clipboardRowText(const QString& text);

}  // namespace korvo
