#include "QtPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>

namespace korvo {

QtPasteboard::QtPasteboard(QClipboard* clipboard)
    : m_clipboard(clipboard ? clipboard : QGuiApplication::clipboard()) {
    m_changed =
        QObject::connect(m_clipboard, &QClipboard::dataChanged, [this] { ++m_changeCount; });
}

QtPasteboard::~QtPasteboard() {
    QObject::disconnect(m_changed);
}

std::optional<QStringList> QtPasteboard::types() const {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    const QMimeData* data = m_clipboard->mimeData(QClipboard::Clipboard);
    if (!data) {
        return std::nullopt;
    }
    QStringList formats = data->formats();
    const QString hint = QString::fromLatin1(kPasswordHint);
    // Only the hint itself is read here; the secret never is.
    if (formats.contains(hint) && data->data(hint).trimmed() == "secret") {
        formats << QString::fromLatin1(kConcealedType);
    }
    return formats;
}

std::optional<QString> QtPasteboard::string() const {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    const QMimeData* data = m_clipboard->mimeData(QClipboard::Clipboard);
    if (!data || !data->hasText()) {
        return std::nullopt;
    }
    return data->text();
}

bool QtPasteboard::canReadImage() const {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    const QMimeData* data = m_clipboard->mimeData(QClipboard::Clipboard);
    if (!data) {
        return false;
    }
    if (data->hasImage()) {
        return true;
    }
    const QStringList formats = data->formats();
    return std::any_of(formats.begin(), formats.end(),
                       [](const QString& f) { return f.startsWith(QLatin1String("image/")); });
}

void QtPasteboard::declareTypes(const QStringList& types) {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    m_declared = types;
    m_pending = std::make_unique<QMimeData>();
}

void QtPasteboard::setString(const QString& value, const QString& type) {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    if (!m_pending || !m_declared.contains(type)) {
        return;
    }
    if (type == QLatin1String(kPlainText)) {
        m_pending->setText(value);
    } else {
        m_pending->setData(type, value.toUtf8());
    }
    publish();
}

// The clipboard changes hands once, when every declared type has its data; a later set of one
// type publishes again.
void QtPasteboard::publish() {
    const QStringList formats = m_pending->formats();
    const bool complete = std::all_of(m_declared.begin(), m_declared.end(),
                                      [&](const QString& t) { return formats.contains(t); });
    if (!complete) {
        return;
    }
    auto data = std::make_unique<QMimeData>();
    for (const QString& format : formats) {
        data->setData(format, m_pending->data(format));
    }
    m_clipboard->setMimeData(data.release(), QClipboard::Clipboard);
}

}  // namespace korvo
