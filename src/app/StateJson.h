#pragma once

#include "core/ActivityEngine.h"
#include "core/IslandState.h"
#include "ui/kit/Node.h"

#include <QJsonObject>

namespace korvo {

/// What the island holds, for the control interface: presentation state, focus, activities with
/// a summary of their payloads, and the toast queue.
QJsonObject stateJson(IslandState state, const ActivityEngine& engine);

/// What a person reads on the island: every visible text and symbol with its colour and frame.
QJsonObject treeJson(const ui::Node& root);

/// A short summary of a payload ("type" plus its main fields).
QJsonObject payloadJson(const ActivityPayload& payload);

}  // namespace korvo
