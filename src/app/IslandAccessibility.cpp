#include "IslandAccessibility.h"

#include <QAccessibleObject>
#include <QGuiApplication>

namespace korvo {

using ui::AccessibleRole;
namespace a11y = ui::a11y;

namespace {

QHash<const QObject*, IslandAccessibility*>& registry() {
    static QHash<const QObject*, IslandAccessibility*> owners;
    return owners;
}

QAccessible::Role qtRole(AccessibleRole role) {
    switch (role) {
        case AccessibleRole::group:
            return QAccessible::Grouping;
        case AccessibleRole::image:
            return QAccessible::Graphic;
        case AccessibleRole::button:
            return QAccessible::Button;
        case AccessibleRole::slider:
            return QAccessible::Slider;
        case AccessibleRole::alert:
            return QAccessible::Notification;
        case AccessibleRole::automatic:
        case AccessibleRole::hidden:
        case AccessibleRole::text:
            break;
    }
    return QAccessible::StaticText;
}

}  // namespace

// The panel: a window whose children are the top-level items.
class IslandAccessibility::WindowInterface final : public QAccessibleObject {
public:
    explicit WindowInterface(QWindow* window) : QAccessibleObject(window) {}

    QWindow* window() const override { return qobject_cast<QWindow*>(object()); }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(qApp);
    }
    int childCount() const override {
        auto* owner = ownerOf(object());
        return owner ? static_cast<int>(owner->childrenOf(-1).size()) : 0;
    }
    QAccessibleInterface* child(int index) const override {
        auto* owner = ownerOf(object());
        if (!owner) {
            return nullptr;
        }
        const auto kids = owner->childrenOf(-1);
        return index >= 0 && index < static_cast<int>(kids.size())
                   ? owner->interfaceAt(kids[static_cast<std::size_t>(index)])
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QString text(QAccessible::Text t) const override {
        const QWindow* w = window();
        return t == QAccessible::Name && w ? w->title() : QString();
    }
    QRect rect() const override {
        const QWindow* w = window();
        return w ? w->geometry() : QRect();
    }
    QAccessible::Role role() const override { return QAccessible::Window; }
    QAccessible::State state() const override {
        QAccessible::State s;
        const QWindow* w = window();
        s.invisible = !w || !w->isVisible();
        s.active = w && w->isActive();
        return s;
    }
};

// One item of the island, known by its key; what it says is looked up in the latest items, so
// the object a reader holds stays the same from frame to frame.
class IslandAccessibility::ItemInterface final : public QAccessibleInterface,
                                                 public QAccessibleActionInterface,
                                                 public QAccessibleValueInterface {
public:
    ItemInterface(IslandAccessibility* owner, QString key)
        : m_owner(owner), m_key(std::move(key)) {}

    void die(QString parentKey) {
        m_alive = false;
        m_parentKey = std::move(parentKey);
    }
    const QString& key() const { return m_key; }

    bool isValid() const override { return live() != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_owner->m_window.data(); }
    QAccessibleInterface* childAt(int x, int y) const override {
        const a11y::Item* it = live();
        if (!it || it->role != AccessibleRole::group) {
            return nullptr;
        }
        const auto kids = m_owner->childrenOf(m_owner->m_index.value(m_key));
        for (auto i = kids.rbegin(); i != kids.rend(); ++i) {
            const a11y::Item& kid = m_owner->m_items[static_cast<std::size_t>(*i)];
            if (!kid.offscreen && m_owner->toScreen(kid.rect).contains(x, y)) {
                return m_owner->interfaceAt(*i);
            }
        }
        return nullptr;
    }
    QAccessibleInterface* parent() const override {
        const a11y::Item* it = live();
        if (!it) {
            // Gone: the bridge still tells the parent it lost a child.
            QAccessibleInterface* p =
                m_parentKey.isEmpty() ? nullptr : m_owner->interfaceFor(m_parentKey);
            return p ? p : m_owner->windowInterface();
        }
        return it->parent >= 0 ? m_owner->interfaceAt(it->parent) : m_owner->windowInterface();
    }
    QAccessibleInterface* child(int index) const override {
        const a11y::Item* it = live();
        if (!it) {
            return nullptr;
        }
        const auto kids = m_owner->childrenOf(m_owner->m_index.value(m_key));
        return index >= 0 && index < static_cast<int>(kids.size())
                   ? m_owner->interfaceAt(kids[static_cast<std::size_t>(index)])
                   : nullptr;
    }
    int childCount() const override {
        return live() ? static_cast<int>(m_owner->childrenOf(m_owner->m_index.value(m_key)).size())
                      : 0;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const a11y::Item* it = live();
        const auto* item = dynamic_cast<const ItemInterface*>(child);
        if (!it || !item) {
            return -1;
        }
        const auto kids = m_owner->childrenOf(m_owner->m_index.value(m_key));
        for (std::size_t i = 0; i < kids.size(); ++i) {
            if (m_owner->m_items[static_cast<std::size_t>(kids[i])].key == item->key()) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    QString text(QAccessible::Text t) const override {
        const a11y::Item* it = live();
        if (!it) {
            return {};
        }
        switch (t) {
            case QAccessible::Name:
                return it->name;
            case QAccessible::Description:
                return it->description;
            case QAccessible::Value:
                return it->role == AccessibleRole::slider ? it->valueText : QString();
            default:
                return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        const a11y::Item* it = live();
        return it && !it->offscreen ? m_owner->toScreen(it->rect) : QRect();
    }
    QAccessible::Role role() const override {
        const a11y::Item* it = live();
        return it ? qtRole(it->role) : QAccessible::NoRole;
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        const a11y::Item* it = live();
        s.invisible = !it || it->offscreen;
        s.offscreen = s.invisible;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        const a11y::Item* it = live();
        if (!it) {
            return nullptr;
        }
        if (type == QAccessible::ActionInterface && !actionNames().isEmpty()) {
            return static_cast<QAccessibleActionInterface*>(this);
        }
        if (type == QAccessible::ValueInterface && it->role == AccessibleRole::slider) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return nullptr;
    }

    // Actions: a press runs the click; a slider moves a step up or down.
    QStringList actionNames() const override {
        const a11y::Item* it = live();
        QStringList names;
        if (it && it->canPress()) {
            names << pressAction();
        }
        if (it && it->role == AccessibleRole::slider && it->setValue && it->step > 0) {
            names << increaseAction() << decreaseAction();
        }
        return names;
    }
    void doAction(const QString& action) override {
        const a11y::Item* it = live();
        if (!it) {
            return;
        }
        const a11y::Item item = *it;  // the action may bring a new tree
        bool done = false;
        if (action == pressAction()) {
            done = a11y::press(item);
        } else if (action == increaseAction()) {
            done = a11y::stepValue(item, 1);
        } else if (action == decreaseAction()) {
            done = a11y::stepValue(item, -1);
        }
        if (done) {
            m_owner->acted();
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    QVariant currentValue() const override {
        const a11y::Item* it = live();
        return it ? QVariant(it->value) : QVariant();
    }
    void setCurrentValue(const QVariant& value) override {
        const a11y::Item* it = live();
        if (it && a11y::setValue(a11y::Item(*it), value.toDouble())) {
            m_owner->acted();
        }
    }
    QVariant maximumValue() const override {
        const a11y::Item* it = live();
        return it ? QVariant(it->maximum) : QVariant();
    }
    QVariant minimumValue() const override {
        const a11y::Item* it = live();
        return it ? QVariant(it->minimum) : QVariant();
    }
    QVariant minimumStepSize() const override {
        const a11y::Item* it = live();
        return it ? QVariant(it->step) : QVariant();
    }

private:
    const a11y::Item* live() const {
        if (!m_alive) {
            return nullptr;
        }
        m_owner->ensureFresh();
        return m_alive ? m_owner->item(m_key) : nullptr;
    }

    IslandAccessibility* m_owner;  // outlives its interfaces: it deletes them
    QString m_key;
    bool m_alive = true;
    QString m_parentKey;  // where it stood when it went
};

int IslandAccessibility::WindowInterface::indexOfChild(const QAccessibleInterface* child) const {
    auto* owner = ownerOf(object());
    const auto* item = dynamic_cast<const ItemInterface*>(child);
    if (!owner || !item) {
        return -1;
    }
    const auto kids = owner->childrenOf(-1);
    for (std::size_t i = 0; i < kids.size(); ++i) {
        if (owner->m_items[static_cast<std::size_t>(kids[i])].key == item->key()) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

QAccessibleInterface* IslandAccessibility::WindowInterface::childAt(int x, int y) const {
    auto* owner = ownerOf(object());
    if (!owner) {
        return nullptr;
    }
    const auto kids = owner->childrenOf(-1);
    for (auto i = kids.rbegin(); i != kids.rend(); ++i) {
        const a11y::Item& kid = owner->m_items[static_cast<std::size_t>(*i)];
        if (!kid.offscreen && owner->toScreen(kid.rect).contains(x, y)) {
            return owner->interfaceAt(*i);
        }
    }
    return nullptr;
}

IslandAccessibility::IslandAccessibility(QWindow& window, std::function<void()> changed,
                                         AccessibilityAnnouncer announcer)
    : m_window(&window), m_changed(std::move(changed)), m_announcer(std::move(announcer)) {
    if (registry().isEmpty()) {
        QAccessible::installFactory(&IslandAccessibility::factory);
    }
    registry().insert(&window, this);
}

IslandAccessibility::~IslandAccessibility() {
    registry().remove(m_window.data());
    for (const QAccessible::Id id : std::as_const(m_interfaces)) {
        if (auto* iface = static_cast<ItemInterface*>(QAccessible::accessibleInterface(id))) {
            iface->die({});
        }
        QAccessible::deleteAccessibleInterface(id);
    }
    releaseDead();
    if (registry().isEmpty()) {
        QAccessible::removeFactory(&IslandAccessibility::factory);
    }
}

QAccessibleInterface* IslandAccessibility::factory(const QString& /*className*/, QObject* object) {
    return registry().contains(object) ? new WindowInterface(qobject_cast<QWindow*>(object))
                                       : nullptr;
}

IslandAccessibility* IslandAccessibility::ownerOf(const QObject* window) {
    return window ? registry().value(window, nullptr) : nullptr;
}

void IslandAccessibility::update(ui::NodePtr root) {
    // The last tree lives on to the end of this call: what departs is announced as it was.
    const ui::NodePtr previous = std::exchange(m_root, std::move(root));
    m_stale = true;
    releaseDead();
    if (!m_announcer.listening || !m_announcer.listening()) {
        return;  // nobody listens: the tree is read when someone asks
    }
    refresh(true);
}

const std::vector<ui::a11y::Item>& IslandAccessibility::items() {
    ensureFresh();
    return m_items;
}

QAccessibleInterface* IslandAccessibility::interfaceFor(const QString& key) {
    ensureFresh();
    const auto it = m_index.constFind(key);
    return it == m_index.constEnd() ? nullptr : interfaceAt(*it);
}

QAccessibleInterface* IslandAccessibility::windowInterface() const {
    return m_window ? QAccessible::queryAccessibleInterface(m_window.data()) : nullptr;
}

void IslandAccessibility::ensureFresh() {
    if (m_stale) {
        refresh(false);
    }
}

void IslandAccessibility::releaseDead() {
    for (const QAccessible::Id id : m_dead) {
        QAccessible::deleteAccessibleInterface(id);
    }
    m_dead.clear();
}

const a11y::Item* IslandAccessibility::item(const QString& key) const {
    const auto it = m_index.constFind(key);
    return it == m_index.constEnd() ? nullptr : &m_items[static_cast<std::size_t>(*it)];
}

std::vector<int> IslandAccessibility::childrenOf(int parent) {
    ensureFresh();
    std::vector<int> out;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].parent == parent) {
            out.push_back(static_cast<int>(i));
        }
    }
    return out;
}

QAccessibleInterface* IslandAccessibility::interfaceAt(int index) {
    if (index < 0 || index >= static_cast<int>(m_items.size())) {
        return nullptr;
    }
    const QString& key = m_items[static_cast<std::size_t>(index)].key;
    if (const auto it = m_interfaces.constFind(key); it != m_interfaces.constEnd()) {
        return QAccessible::accessibleInterface(*it);
    }
    auto* made = new ItemInterface(this, key);
    m_interfaces.insert(key, QAccessible::registerAccessibleInterface(made));
    return made;
}

QRect IslandAccessibility::toScreen(const QRectF& rect) const {
    const QRect r = rect.toAlignedRect();
    return m_window ? QRect(m_window->mapToGlobal(r.topLeft()), r.size()) : r;
}

void IslandAccessibility::acted() {
    if (m_changed) {
        m_changed();
    }
}

void IslandAccessibility::refresh(bool announce) {
    m_stale = false;
    std::vector<a11y::Item> next = m_root ? a11y::collect(*m_root) : std::vector<a11y::Item>{};
    const auto changes = a11y::diff(m_items, next);
    auto send = [this](QAccessibleInterface* iface, QAccessible::Event type) {
        QAccessibleEvent event(iface, type);
        m_announcer.announce(&event);
    };
    auto held = [this](const QString& key) -> ItemInterface* {
        const auto it = m_interfaces.constFind(key);
        return it == m_interfaces.constEnd()
                   ? nullptr
                   : static_cast<ItemInterface*>(QAccessible::accessibleInterface(*it));
    };
    // Departures first, while the departing objects still answer as what they were: the bridge
    // asks them for their parent to tell it of its loss.
    std::vector<std::pair<QAccessible::Id, QString>> departed;  // with where each stood
    for (const a11y::Change& c : changes) {
        if (c.type != a11y::Change::Type::destroyed || !m_interfaces.contains(c.key)) {
            continue;  // no reader ever held it
        }
        const a11y::Item& was = m_items[static_cast<std::size_t>(m_index.value(c.key))];
        departed.emplace_back(
            m_interfaces.value(c.key),
            was.parent >= 0 ? m_items[static_cast<std::size_t>(was.parent)].key : QString());
        if (announce) {
            if (ItemInterface* iface = held(c.key)) {
                send(iface, QAccessible::ObjectDestroyed);
            }
        }
        m_interfaces.remove(c.key);
    }
    m_items = std::move(next);
    m_index.clear();
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        m_index.insert(m_items[i].key, static_cast<int>(i));
    }
    for (const auto& [id, parentKey] : departed) {
        if (auto* iface = static_cast<ItemInterface*>(QAccessible::accessibleInterface(id))) {
            iface->die(parentKey);
        }
        if (announce) {
            QAccessible::deleteAccessibleInterface(id);
        } else {
            m_dead.push_back(id);  // a call of this very interface may be running
        }
    }
    if (!announce) {
        return;
    }
    for (const a11y::Change& c : changes) {
        switch (c.type) {
            case a11y::Change::Type::destroyed:
                break;
            case a11y::Change::Type::created:
                send(interfaceAt(m_index.value(c.key)), QAccessible::ObjectCreated);
                break;
            case a11y::Change::Type::nameChanged:
            case a11y::Change::Type::descriptionChanged:
                if (ItemInterface* iface = held(c.key)) {
                    send(iface, c.type == a11y::Change::Type::nameChanged
                                    ? QAccessible::NameChanged
                                    : QAccessible::DescriptionChanged);
                }
                break;
            case a11y::Change::Type::valueChanged:
                if (ItemInterface* iface = held(c.key)) {
                    QAccessibleValueChangeEvent event(
                        iface, m_items[static_cast<std::size_t>(m_index.value(c.key))].value);
                    m_announcer.announce(&event);
                }
                break;
            case a11y::Change::Type::alert:
                // Shown, for readers that speak a notification as it appears, and the alert
                // itself for those that listen for alerts.
                if (ItemInterface* iface = held(c.key)) {
                    send(iface, QAccessible::ObjectShow);
                    send(iface, QAccessible::Alert);
                }
                break;
        }
    }
}

namespace {

class StandIn final : public QWindow {
public:
    StandIn() { setTitle(QStringLiteral("Korvo")); }
    QAccessibleInterface* accessibleRoot() const override {
        return QAccessible::queryAccessibleInterface(const_cast<StandIn*>(this));
    }
};

}  // namespace

std::unique_ptr<QWindow> readableStandIn() {
    return std::make_unique<StandIn>();
}

}  // namespace korvo
