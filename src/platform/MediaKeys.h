#pragma once

namespace korvo {

/// The keyboard's media keys, posted as if pressed. Codes: 16 play/pause, 17 next, 18 previous.
/// Thread-safe; calls may block briefly, so callers use it off the main thread.
class MediaKeys {
public:
    virtual ~MediaKeys() = default;
    /// Whether this process may post key events at all (may ask the user).
    virtual bool isTrusted() = 0;
    /// Posts one press or release. False when the event could not be made.
    virtual bool post(int code, bool press) = 0;
};

}  // namespace korvo
