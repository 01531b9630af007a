#pragma once

#include "platform/LinkDetector.h"

namespace korvo {

/// Finds http, https and "www." links in free text, as invitations write them: bare, in angle
/// brackets, in parentheses or at the end of a sentence.
class UrlFinder final : public LinkDetector {
public:
    std::vector<QUrl> links(const QString& text) const override;
};

}  // namespace korvo
