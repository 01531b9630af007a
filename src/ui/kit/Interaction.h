#pragma once

#include "ui/kit/Animator.h"

#include <QSet>
#include <QString>

namespace korvo::ui {

/// Pointer state of the window, by node identity (`View::id`): which nodes the pointer is over
/// and which one is held down. The window writes it; views read it while they are built, so a
/// button can grow while pressed without keeping state of its own.
class Interaction {
public:
    bool isHovered(const QString& id) const { return m_hovered.contains(id); }
    bool isPressed(const QString& id) const { return !id.isEmpty() && m_pressed == id; }

    void setHovered(QSet<QString> ids) { m_hovered = std::move(ids); }
    void setPressed(QString id) { m_pressed = std::move(id); }
    const QSet<QString>& hovered() const { return m_hovered; }
    const QString& pressed() const { return m_pressed; }

private:
    QSet<QString> m_hovered;
    QString m_pressed;
};

/// What a view function may use besides its inputs: the animator and the pointer state.
struct ViewContext {
    Animator& animator;
    const Interaction& interaction;
};

}  // namespace korvo::ui
