#pragma once

#include "core/MainLoop.h"
#include "platform/ArtworkFetcher.h"
#include "platform/MediaKeys.h"
#include "platform/ScriptBridge.h"

#include <QSet>

#include <functional>
#include <mutex>
#include <vector>

namespace korvo {

/// Answers scripts from canned texts chosen by intent, and records every request.
class FakeScriptBridge : public ScriptBridge {
public:
    explicit FakeScriptBridge(MainLoop& loop) : m_loop(loop) {}

    bool isRunning(const QString& bundleId) override {
        std::lock_guard lock(m_mutex);
        runningAsked << bundleId;
        return running.contains(bundleId);
    }

    bool anyRunning() override { return !nobodyRuns; }

    std::optional<ScriptResult> run(const ScriptRequest& request) override {
        std::lock_guard lock(m_mutex);
        requests.push_back(request);
        ranOnMainThread = ranOnMainThread || m_loop.isMainThread();
        if (answer) {
            return answer(request);
        }
        if (const auto* read = std::get_if<intent::ReadPlayer>(&request.intent)) {
            return text(read->player == PlayerSlot::spotify ? spotify : music);
        }
        if (const auto* scan = std::get_if<intent::BrowserScan>(&request.intent)) {
            return text(scans.value(scan->bundleId));
        }
        if (std::holds_alternative<intent::ReadArtwork>(request.intent)) {
            return ScriptResult{QString(), artworkBytes};
        }
        return text(commandAnswer);
    }

    static std::optional<ScriptResult> text(const std::optional<QString>& t) {
        return t ? std::optional(ScriptResult{*t, {}}) : std::nullopt;
    }

    template <typename Intent>
    std::vector<ScriptRequest> requestsOf() {
        std::vector<ScriptRequest> out;
        for (const auto& r : requests) {
            if (std::holds_alternative<Intent>(r.intent)) {
                out.push_back(r);
            }
        }
        return out;
    }

    QSet<QString> running;
    bool nobodyRuns = false;  // what the bus's name watch would say with no player left
    std::optional<QString> spotify;
    std::optional<QString> music;
    QHash<QString, QString> scans;  // by bundle id
    QByteArray artworkBytes;
    std::optional<QString> commandAnswer = QStringLiteral("ok");
    std::function<std::optional<ScriptResult>(const ScriptRequest&)> answer;

    std::vector<ScriptRequest> requests;
    QStringList runningAsked;
    bool ranOnMainThread = false;

private:
    MainLoop& m_loop;
    std::mutex m_mutex;
};

class FakeMediaKeys : public MediaKeys {
public:
    bool isTrusted() override { return trusted; }
    bool post(int code, bool press) override {
        posted.push_back({code, press});
        return true;
    }
    bool trusted = true;
    std::vector<std::pair<int, bool>> posted;
};

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
