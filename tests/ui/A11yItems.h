#pragma once

#include "ui/kit/Accessibility.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace korvo::test {

// The names a reader finds, in reading order.
inline QStringList names(const std::vector<ui::a11y::Item>& items) {
    QStringList out;
    for (const auto& i : items) {
        out << i.name;
    }
    return out;
}

// The item named `name`; a failure when there is none.
inline const ui::a11y::Item& named(const std::vector<ui::a11y::Item>& items, const QString& name) {
    for (const auto& i : items) {
        if (i.name == name) {
            return i;
        }
    }
    ADD_FAILURE() << "nothing named " << name.toStdString();
    static const ui::a11y::Item none;
    return none;
}

}  // namespace korvo::test
