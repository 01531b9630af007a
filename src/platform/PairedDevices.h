#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace korvo {

/// One device of the system's paired-device registry, as the devices service reads it.
struct PairedDevice {
    std::optional<QString> name;     // the name to show; absent when the device never told one
    std::optional<QString> address;  // "AA:BB:CC:DD:EE:FF"
    std::uint32_t majorClass = 0;    // Bluetooth major device class (2 phone, 4 audio, 7 wearable)
    bool connected = false;

    bool operator==(const PairedDevice& other) const = default;
};

/// The paired Bluetooth devices. Blocking: callers use it off the main thread only, one call at
/// a time.
class PairedDevices {
public:
    virtual ~PairedDevices() = default;

    /// The paired devices in the registry's order, or nothing when the registry cannot be read.
    virtual std::optional<std::vector<PairedDevice>> pairedDevices() = 0;
};

}  // namespace korvo
