#pragma once

#include "platform/ArtworkFetcher.h"

#include <QStringList>

#include <utility>
#include <vector>

namespace korvo {

/// Keeps each fetch until the test completes it.
class FakeArtworkFetcher : public ArtworkFetcher {
public:
    void fetch(const QUrl& url, Done done) override {
        urls << url.toString();
        pending.push_back(std::move(done));
    }
    void completeAll(const std::optional<QByteArray>& bytes) {
        auto waiting = std::exchange(pending, {});
        for (auto& done : waiting) {
            done(bytes);
        }
    }
    QStringList urls;
    std::vector<Done> pending;
};

}  // namespace korvo
