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

/// A payload with every field it has ("type" plus the record's fields by their own names).
/// Absent optional fields are null, so a reader can tell "not known" from "missing".
QJsonObject payloadJson(const ActivityPayload& payload);

/// The now-playing record, every field; the one place to extend when the record grows.
QJsonObject nowPlayingJson(const NowPlayingInfo& info);

}  // namespace korvo
