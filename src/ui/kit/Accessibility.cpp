#include "Accessibility.h"

#include <QHash>
#include <QStringList>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace korvo::ui::a11y {

namespace {

using K = Node::Kind;

// Below this opacity a node is a placeholder that only keeps the layout.
constexpr double kInvisible = 0.001;
const QRectF kEverywhere(-1e9, -1e9, 2e9, 2e9);

bool isHidden(const Node& n) {
    return (n.accessible && n.accessible->role == AccessibleRole::hidden) ||
           (n.kind == K::opacity && n.opacity <= kInvisible);
}

bool isWrapper(const Node& n) {
    switch (n.kind) {
        case K::frame:
        case K::padding:
        case K::background:
        case K::overlay:
        case K::clip:
        case K::opacity:
        case K::offset:
        case K::scale:
        case K::shadow:
        case K::blur:
        case K::interactive:
            return !n.children.empty() && n.children.front();
        default:
            return false;
    }
}

// Nodes whose children each start a path segment: the ones that hold more than one view.
bool branches(const Node& n) {
    return n.kind == K::hstack || n.kind == K::vstack || n.kind == K::zstack ||
           n.kind == K::background || n.kind == K::overlay;
}

// The interactive node a description on `n` speaks for: `n` itself or the one it wraps.
const Node* controlOf(const Node& n) {
    for (const Node* c = &n; c; c = isWrapper(*c) ? c->children.front().get() : nullptr) {
        if (c->kind == K::interactive && (c->onClick || c->onDrag)) {
            return c;
        }
    }
    return nullptr;
}

// The texts inside a view as one line: what a button without a name of its own says.
void gatherText(const Node& n, QStringList& out) {
    if (isHidden(n)) {
        return;
    }
    if (n.accessible && !n.accessible->name.isEmpty()) {
        out << n.accessible->name;
        return;
    }
    if (n.kind == K::text && !n.text.trimmed().isEmpty()) {
        out << n.text.trimmed();
        return;
    }
    for (const auto& c : n.children) {
        if (c) {
            gatherText(*c, out);
        }
    }
}

QString spokenText(const Node& n) {
    QStringList parts;
    for (const auto& c : n.children) {
        if (c) {
            gatherText(*c, parts);
        }
    }
    if (n.kind == K::text && !n.text.trimmed().isEmpty()) {
        parts.prepend(n.text.trimmed());
    }
    return parts.join(QStringLiteral(", "));
}

struct Place {
    QTransform transform;
    QRectF clip = kEverywhere;
    QString scope;               // the nearest identity above
    std::size_t scopeDepth = 0;  // where its path starts in the collector's path
    int parent = -1;
};

// A description waiting for the first item below the node that carries it.
struct Pending {
    const AccessibleInfo* info = nullptr;
    bool used = false;
};

class Collector {
public:
    std::vector<Item> items;

    void visit(const Node& n, Place at, Pending* pending) {
        if (isHidden(n)) {
            return;
        }
        switch (n.kind) {
            case K::clip:
                at.clip = at.clip.intersected(at.transform.mapRect(n.frame));
                break;
            case K::offset:
                at.transform = QTransform::fromTranslate(n.offset.x(), n.offset.y()) * at.transform;
                break;
            case K::scale: {
                const QPointF c = n.frame.center();
                at.transform = QTransform::fromTranslate(-c.x(), -c.y()) *
                               QTransform::fromScale(n.scale, n.scale) *
                               QTransform::fromTranslate(c.x(), c.y()) * at.transform;
                break;
            }
            default:
                break;
        }
        if (n.kind == K::interactive && !n.id.isEmpty()) {
            at.scope = n.id;
            at.scopeDepth = m_path.size();
        }

        Pending own;
        if (const AccessibleInfo* info = n.accessible.get()) {
            if (info->role != AccessibleRole::automatic) {
                const int index = add(n, info->role, info, controlOf(n), at);
                if (info->role == AccessibleRole::group) {
                    at.parent = index;
                    children(n, at, nullptr);
                }
                return;
            }
            own.info = info;  // the nearer description wins
            pending = &own;
        }
        const AccessibleInfo* named = pending && !pending->used ? pending->info : nullptr;
        std::optional<AccessibleRole> role;
        if (n.kind == K::interactive && n.onDrag) {
            role = AccessibleRole::slider;
        } else if (n.kind == K::interactive && n.onClick) {
            role = AccessibleRole::button;
        } else if (n.kind == K::text && !n.text.trimmed().isEmpty()) {
            role = AccessibleRole::text;
        } else if ((n.kind == K::symbol || n.kind == K::image) && named && !named->name.isEmpty()) {
            role = AccessibleRole::image;
        }
        if (role) {
            if (pending) {
                pending->used = true;
            }
            add(n, *role, named, n.kind == K::interactive ? &n : nullptr, at);
            return;
        }
        children(n, at, pending);
    }

private:
    void children(const Node& n, const Place& at, Pending* pending) {
        const bool segment = branches(n);
        auto into = [&](const Node& child, int position) {
            if (segment) {
                m_path.push_back(position);
            }
            visit(child, at, pending);
            if (segment) {
                m_path.pop_back();
            }
        };
        // Something laid over the top of a view is read before it (a header, a toast).
        if (n.kind == K::overlay && n.alignment.v == VAlign::top && n.children.size() == 2 &&
            n.children[0] && n.children[1]) {
            const bool baseShown = !isHidden(*n.children[0]);
            if (!isHidden(*n.children[1])) {
                into(*n.children[1], baseShown ? 1 : 0);
            }
            if (baseShown) {
                into(*n.children[0], 0);
            }
            return;
        }
        // Leaving content is marked hidden: counting only the rest keeps the paths of what
        // stays the same while something fades out beside it.
        int position = 0;
        for (const auto& c : n.children) {
            if (c && !isHidden(*c)) {
                into(*c, position++);
            }
        }
    }

    int add(const Node& n, AccessibleRole role, const AccessibleInfo* info, const Node* control,
            const Place& at) {
        Item item;
        item.role = role;
        if (info) {
            item.name = info->name;
            item.description = info->description;
            if (role == AccessibleRole::slider) {
                item.value = info->value;
                item.minimum = info->minimum;
                item.maximum = info->maximum;
                item.step = info->step;
                item.valueText = info->valueText;
                item.setValue = info->setValue;
            }
        }
        if (item.name.isEmpty() && role != AccessibleRole::group) {
            item.name = spokenText(n);
        }
        const QRectF mapped = at.transform.mapRect(n.frame);
        item.rect = at.clip == kEverywhere ? mapped : mapped.intersected(at.clip);
        item.offscreen = item.rect.isEmpty();
        item.parent = at.parent;
        item.control = control;
        QString key;
        if (control && !control->id.isEmpty()) {
            key = control->id;
        } else if (n.kind == K::interactive && !n.id.isEmpty()) {
            key = n.id;
        } else {
            key = at.scope + QLatin1Char('/');
            for (std::size_t i = at.scopeDepth; i < m_path.size(); ++i) {
                if (i > at.scopeDepth) {
                    key += QLatin1Char('.');
                }
                key += QString::number(m_path[i]);
            }
        }
        // The same identity twice (a list built from equal entries): later ones are numbered.
        const int seen = m_keys[key]++;
        if (seen > 0) {
            key += QLatin1Char('#') + QString::number(seen + 1);
        }
        item.key = std::move(key);
        items.push_back(std::move(item));
        return static_cast<int>(items.size()) - 1;
    }

    QHash<QString, int> m_keys;
    std::vector<int> m_path;  // positions from the root down to the node being visited
};

QString parentKey(const std::vector<Item>& items, const Item& item) {
    return item.parent >= 0 ? items[static_cast<std::size_t>(item.parent)].key : QString();
}

}  // namespace

std::vector<Item> collect(const Node& root) {
    Collector c;
    c.visit(root, Place{}, nullptr);
    return std::move(c.items);
}

std::vector<Change> diff(const std::vector<Item>& before, const std::vector<Item>& after) {
    QHash<QString, std::size_t> old;
    for (std::size_t i = 0; i < before.size(); ++i) {
        old.insert(before[i].key, i);
    }
    QHash<QString, std::size_t> now;
    for (std::size_t i = 0; i < after.size(); ++i) {
        now.insert(after[i].key, i);
    }
    // An item that turned into another kind of thing, or moved to another group, is a new one.
    auto same = [&](const Item& a, const Item& b) {
        return a.role == b.role && parentKey(before, a) == parentKey(after, b);
    };
    std::vector<Change> out;
    for (auto i = before.size(); i-- > 0;) {
        const auto it = now.constFind(before[i].key);
        if (it == now.constEnd() || !same(before[i], after[*it])) {
            out.push_back({Change::Type::destroyed, before[i].key});
        }
    }
    std::vector<Change> changed;
    std::vector<Change> alerts;
    for (const Item& item : after) {
        const auto it = old.constFind(item.key);
        const bool isNew = it == old.constEnd() || !same(before[*it], item);
        if (isNew) {
            out.push_back({Change::Type::created, item.key});
        } else {
            const Item& was = before[*it];
            if (was.name != item.name) {
                changed.push_back({Change::Type::nameChanged, item.key});
            }
            if (was.description != item.description) {
                changed.push_back({Change::Type::descriptionChanged, item.key});
            }
            if (item.role == AccessibleRole::slider &&
                (was.value != item.value || was.valueText != item.valueText)) {
                changed.push_back({Change::Type::valueChanged, item.key});
            }
        }
        if (item.role == AccessibleRole::alert && (isNew || before[*it].name != item.name ||
                                                   before[*it].description != item.description)) {
            alerts.push_back({Change::Type::alert, item.key});
        }
    }
    out.insert(out.end(), changed.begin(), changed.end());
    out.insert(out.end(), alerts.begin(), alerts.end());
    return out;
}

bool press(const Item& item) {
    if (!item.canPress()) {
        return false;
    }
    const auto click = item.control->onClick;  // the click may rebuild what holds it
    click();
    return true;
}

bool setValue(const Item& item, double value) {
    if (item.role != AccessibleRole::slider || !item.setValue || !std::isfinite(value) ||
        !(item.maximum >= item.minimum)) {
        return false;
    }
    const auto set = item.setValue;
    set(std::clamp(value, item.minimum, item.maximum));
    return true;
}

bool stepValue(const Item& item, int steps) {
    if (!(item.step > 0)) {
        return false;
    }
    return setValue(item, item.value + item.step * steps);
}

}  // namespace korvo::ui::a11y
