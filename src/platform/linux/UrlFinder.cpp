#include "UrlFinder.h"

#include <QRegularExpression>

namespace korvo {

namespace {

const QRegularExpression& linkPattern() {
    static const QRegularExpression pattern(
        QStringLiteral(R"((?<![\w.@/])(?:https?://|www\.)[^\s<>"'`{}|\\^\[\]]+)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

// Punctuation that ends a sentence rather than the link, and a closing bracket that the link
// did not open.
QString withoutTrailingPunctuation(QString link) {
    while (!link.isEmpty()) {
        const QChar last = link.back();
        const bool unopenedBracket =
            last == QLatin1Char(')') && link.count(QLatin1Char(')')) > link.count(QLatin1Char('('));
        if (!QStringLiteral(".,;:!?*").contains(last) && !unopenedBracket) {
            break;
        }
        link.chop(1);
    }
    return link;
}

}  // namespace

std::vector<QUrl> UrlFinder::links(const QString& text) const {
    std::vector<QUrl> found;
    auto it = linkPattern().globalMatch(text);
    while (it.hasNext()) {
        const QString link = withoutTrailingPunctuation(it.next().captured(0));
        const bool bare = link.startsWith(QLatin1String("www."), Qt::CaseInsensitive);
        const QUrl url(bare ? QStringLiteral("http://") + link : link, QUrl::TolerantMode);
        if (url.isValid() && !url.host().isEmpty()) {
            found.push_back(url);
        }
    }
    return found;
}

}  // namespace korvo
