#include "platform/linux/UrlFinder.h"

#include <gtest/gtest.h>

using namespace korvo;

TEST(UrlFinder, FindsWebLinksAsInvitationsWriteThem) {
    auto found = [](const QString& text) {
        QStringList out;
        for (const QUrl& url : UrlFinder().links(text)) {
            out << url.toString();
        }
        return out;
    };
    EXPECT_EQ(found("(see www.example.com/agenda), then HTTP://Example.org/x!"),
              (QStringList{"http://www.example.com/agenda", "http://example.org/x"}));
    EXPECT_EQ(found("[wiki](https://en.wikipedia.org/wiki/Meeting_(disambiguation))"),
              QStringList{"https://en.wikipedia.org/wiki/Meeting_(disambiguation)"});
    EXPECT_TRUE(found("mailto:a@example.com ftp://files.example.com user@www.example.com "
                      "building www, https:// nothing")
                    .isEmpty());
}
