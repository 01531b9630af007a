#include "DemoPasteboard.h"

namespace korvo {

DemoPasteboard::DemoPasteboard(MainLoop& loop, double interval) {
    m_timer = loop.scheduleRepeating(interval, 1, [this] { copyNext(); });
}

void DemoPasteboard::copyNext() {
    static const char* const texts[] = {
        "Ship the island on Friday, then take the weekend off",
        "482 913",
        nullptr,  // a screenshot
        "https://korvo.example/notes/roadmap",
        "git rebase -i HEAD~3\ngit push --force-with-lease",
    };
    constexpr int count = sizeof(texts) / sizeof(texts[0]);
    const char* text = texts[m_next];
    m_next = (m_next + 1) % count;

    ++m_changeCount;
    if (text) {
        m_types = {QString::fromLatin1(kPlainText)};
        m_string = QString::fromUtf8(text);
        m_image = false;
    } else {
        m_types = {QStringLiteral("image/png")};
        m_string.reset();
        m_image = true;
    }
}

void DemoPasteboard::declareTypes(const QStringList& types) {
    ++m_changeCount;
    m_types = types;
    m_string.reset();
    m_image = false;
}

void DemoPasteboard::setString(const QString& value, const QString& type) {
    if (!m_types.contains(type)) {
        return;
    }
    if (type == QLatin1String(kPlainText)) {
        m_string = value;
    }
}

}  // namespace korvo
