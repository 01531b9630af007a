#pragma once

namespace korvo {

/// The preferences the island's behaviour reads, each time it decides. The settings store
/// implements it; core code stays free of the settings layer.
class IslandPreferences {
public:
    virtual ~IslandPreferences() = default;
    virtual bool hoverToExpand() const = 0;
};

}  // namespace korvo
