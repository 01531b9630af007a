#pragma once

#include "platform/Pasteboard.h"

namespace korvo {

/// A clipboard in memory that another "application" copies to, and that counts how often its
/// text was read.
class FakePasteboard : public Pasteboard {
public:
    std::int64_t changeCount() const override { return count; }
    std::optional<QStringList> types() const override { return typeList; }
    std::optional<QString> string() const override {
        ++stringReads;
        return text;
    }
    bool stringIsCut() const override { return cut; }
    bool canReadImage() const override { return image; }
    void declareTypes(const QStringList& types) override {
        ++count;
        typeList = types;
        text.reset();
        image = false;
    }
    void setString(const QString& value, const QString& type) override {
        if (type == QLatin1String(kPlainText)) {
            text = value;
        }
    }

    /// Someone copies plain text, with extra type names such as markers.
    void copy(const QString& value, const QStringList& extraTypes = {}) {
        ++count;
        typeList = QStringList{QString::fromLatin1(kPlainText)} + extraTypes;
        text = value;
        cut = false;
        image = false;
    }
    /// Someone copies an image, with an optional text beside it.
    void copyImage(std::optional<QString> alongside = std::nullopt) {
        ++count;
        typeList = QStringList{QStringLiteral("image/png")};
        if (alongside) {
            *typeList << QString::fromLatin1(kPlainText);
        }
        text = std::move(alongside);
        image = true;
    }

    std::int64_t count = 0;
    std::optional<QStringList> typeList;
    std::optional<QString> text;
    /// The text is the head of a longer one the pasteboard did not take in whole.
    bool cut = false;
    bool image = false;
    mutable int stringReads = 0;
};

}  // namespace korvo
