#pragma once

#include "core/MediaControls.h"
#include "ui/kit/Layout.h"
#include "ui/kit/View.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace korvo::test {

// The one walker the view tests share: a laid-out view flattened in drawing order, each node
// with the opacity, scale and vertical offset its wrappers give it.
struct ViewTree {
    struct Entry {
        const ui::Node* node;
        double opacity;
        double scale;
        double offsetY;
        int depth;
        // Keeps the tree alive for as long as an entry is held, so that an entry taken from a
        // walker that was only a temporary still points at a node.
        std::shared_ptr<const ui::Node> tree;
    };
    ui::View view;
    std::vector<Entry> all;

    explicit ViewTree(ui::View v) : view(std::move(v)) { walk(*view.node(), 1, 1, 0, 0); }

    // Texts and symbols in drawing order.
    std::vector<Entry> glyphs() const {
        std::vector<Entry> out;
        std::copy_if(all.begin(), all.end(), std::back_inserter(out), [](const Entry& e) {
            return e.node->kind == ui::Node::Kind::text || e.node->kind == ui::Node::Kind::symbol;
        });
        return out;
    }
    // The first text or symbol drawing `s`; null when nothing does.
    const Entry* entry(const QString& s) const {
        const auto it = std::find_if(all.begin(), all.end(), [&](const Entry& e) {
            return (e.node->kind == ui::Node::Kind::text ||
                    e.node->kind == ui::Node::Kind::symbol) &&
                   e.node->text == s;
        });
        return it == all.end() ? nullptr : &*it;
    }
    // The node drawing `s`, and the opacity it is drawn at.
    const ui::Node* glyph(const QString& s, double* opacity = nullptr) const {
        const Entry* e = entry(s);
        if (e && opacity) {
            *opacity = e->opacity;
        }
        return e ? e->node : nullptr;
    }
    bool draws(const QString& s) const { return entry(s) != nullptr; }
    int count(const QString& text) const {
        return static_cast<int>(std::count_if(all.begin(), all.end(), [&](const Entry& e) {
            return e.node->kind == ui::Node::Kind::text && e.node->text == text;
        }));
    }
    const ui::Node* first(ui::Node::Kind kind) const {
        for (const auto& e : all) {
            if (e.node->kind == kind) {
                return e.node;
            }
        }
        return nullptr;
    }
    const ui::Node* byId(const QString& id) const { return ui::findById(*view.node(), id); }
    QRectF frame(const QString& id) const {
        const ui::Node* n = byId(id);
        return n ? n->frame : QRectF();
    }
    // Nodes of `kind` inside the node named `id` (or the whole tree).
    std::vector<const ui::Node*> inside(ui::Node::Kind kind, const QString& id = {}) const {
        std::vector<const ui::Node*> out;
        const ui::Node* root = id.isEmpty() ? view.node().get() : byId(id);
        auto it =
            std::find_if(all.begin(), all.end(), [&](const Entry& e) { return e.node == root; });
        if (it == all.end()) {
            return out;
        }
        const int depth = it->depth;
        do {
            if (it->node->kind == kind) {
                out.push_back(it->node);
            }
        } while (++it != all.end() && it->depth > depth);
        return out;
    }
    // Clicks the button named `id` as the window does: its click handler.
    void click(const QString& id) const {
        const ui::Node* n = byId(id);
        while (n && !n->onClick) {
            n = n->children.empty() ? nullptr : n->children.front().get();
        }
        ASSERT_TRUE(n) << "no button " << id.toStdString();
        n->onClick();
    }

private:
    void walk(const ui::Node& n, double o, double s, double dy, int depth) {
        all.push_back({&n, o, s, dy, depth, view.node()});
        o *= n.kind == ui::Node::Kind::opacity ? n.opacity : 1;
        s *= n.kind == ui::Node::Kind::scale ? n.scale : 1;
        dy += n.kind == ui::Node::Kind::offset ? n.offset.y() : 0;
        for (const auto& c : n.children) {
            walk(*c, o, s, dy, depth + 1);
        }
    }
};

// The playback commands the views send, in order.
struct RecordingMedia : MediaControls {
    QStringList calls;
    std::vector<double> seeks;
    std::vector<double> volumes;
    void togglePlayPause() override { calls << "toggle"; }
    void next() override { calls << "next"; }
    void previous() override { calls << "previous"; }
    void seek(double s) override {
        calls << QStringLiteral("seek %1").arg(s);
        seeks.push_back(s);
    }
    void setVolume(double v) override {
        calls << QStringLiteral("volume %1").arg(v);
        volumes.push_back(v);
    }
};

}  // namespace korvo::test
