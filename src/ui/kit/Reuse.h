#pragma once

#include "ui/kit/Node.h"

#include <QSet>
#include <QString>

#include <vector>

namespace korvo::ui {

/// Keeping a laid-out tree from one frame to the next instead of laying out a new one.

/// The moving pieces named `ids` (`piece` in View.h) in the tree, depth first.
std::vector<Node*> piecesIn(Node& root, const QSet<QString>& ids);

/// Builds a piece of a laid-out tree again, alone, and lays it out where it was. False, and the
/// piece left as it was, when its new content would not fit there.
bool rebuildPiece(Node& piece);

/// When `fresh` (just built, not laid out) draws exactly what the laid-out `drawn` draws, apart
/// from the pieces named `pieces`, gives `fresh` the layout of `drawn` (its pieces laid out
/// where `drawn` had them) and returns true: only the pieces need painting. Otherwise returns
/// false, and `fresh` still wants a layout of its own. Handlers and what screen readers are
/// told are not compared: `fresh` keeps its own.
bool adoptLayout(Node& fresh, const Node& drawn, const QSet<QString>& pieces);

}  // namespace korvo::ui
