#pragma once

#include "ui/kit/Accessibility.h"

#include <QAccessible>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QWindow>

#include <functional>
#include <memory>
#include <vector>

namespace korvo {

/// Whether an assistive technology listens, and where announcements go: by default Qt's
/// accessibility layer, which is active while a reader is on the accessibility bus.
struct AccessibilityAnnouncer {
    std::function<bool()> listening = &QAccessible::isActive;
    std::function<void(QAccessibleEvent*)> announce = &QAccessible::updateAccessibility;
};

/// The island on Qt's accessibility layer, and through it on the desktop's accessibility bus:
/// the panel is a window, the items of the latest tree (ui/kit/Accessibility.h) are its
/// children, with Qt interfaces for their names, values and actions. Each new tree is compared
/// with the last one and the differences are announced. While no assistive technology listens
/// nothing is done per frame beyond keeping the tree; a reader that turns up later is answered
/// from it.
class IslandAccessibility {
public:
    /// `changed` is called after an action ran, so the window draws its outcome.
    explicit IslandAccessibility(QWindow& window, std::function<void()> changed = {},
                                 AccessibilityAnnouncer announcer = {});
    ~IslandAccessibility();
    IslandAccessibility(const IslandAccessibility&) = delete;
    IslandAccessibility& operator=(const IslandAccessibility&) = delete;

    /// The tree of a new frame, laid out in window coordinates.
    void update(ui::NodePtr root);

    /// The items as a reader sees them now.
    const std::vector<ui::a11y::Item>& items();
    /// The interface a reader holds for the item with `key`; null when there is none.
    QAccessibleInterface* interfaceFor(const QString& key);
    /// The window's interface.
    QAccessibleInterface* windowInterface() const;

private:
    class WindowInterface;
    class ItemInterface;
    friend class WindowInterface;
    friend class ItemInterface;

    static QAccessibleInterface* factory(const QString& className, QObject* object);
    static IslandAccessibility* ownerOf(const QObject* window);

    void refresh(bool announce);
    void ensureFresh();
    void releaseDead();
    const ui::a11y::Item* item(const QString& key) const;
    std::vector<int> childrenOf(int parent);
    QAccessibleInterface* interfaceAt(int index);
    QRect toScreen(const QRectF& rect) const;
    void acted();

    QPointer<QWindow> m_window;
    std::function<void()> m_changed;
    AccessibilityAnnouncer m_announcer;
    ui::NodePtr m_root;    // the latest tree; the items point into it
    bool m_stale = false;  // a tree arrived that the items do not describe yet
    std::vector<ui::a11y::Item> m_items;
    QHash<QString, int> m_index;                   // key → position in m_items
    QHash<QString, QAccessible::Id> m_interfaces;  // key → the interface readers hold
    std::vector<QAccessible::Id> m_dead;           // gone, deleted once no call is running
};

/// A window never shown, standing in for a panel that is no Qt window (the Wayland layer
/// surface), so that readers still find the island among the application's windows.
std::unique_ptr<QWindow> readableStandIn();

}  // namespace korvo
