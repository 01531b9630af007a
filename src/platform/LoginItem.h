#pragma once

#include <QString>

#include <optional>

namespace korvo {

/// Starting Korvo at the user's login.
class LoginItem {
public:
    virtual ~LoginItem() = default;
    /// Registers (true) or unregisters (false). Returns the reason when it fails.
    virtual std::optional<QString> setRegistered(bool registered) = 0;
};

}  // namespace korvo
