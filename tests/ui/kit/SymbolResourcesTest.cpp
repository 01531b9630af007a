#include "fakes/QtPrinters.h"
#include "ui/kit/Symbols.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

#include <gtest/gtest.h>

using namespace korvo::ui;

namespace {
bool hasInk(const QImage& img) {
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (qAlpha(img.pixel(x, y)) > 0) {
                return true;
            }
        }
    }
    return false;
}
}  // namespace

// The build compiles in the files the table names, read off the table's source: every name
// draws from inside the program, and nothing beyond the table is carried along.
TEST(KitSymbolResources, EveryNameDrawsFromTheProgramAndNoFileIsCarriedForNothing) {
    QSet<QString> named;
    for (const QString& name : Symbols::knownNames()) {
        SCOPED_TRACE(name.toStdString());
        const auto file = Symbols::fileFor(name);
        ASSERT_TRUE(file);
        EXPECT_TRUE(file->startsWith(Symbols::resourcePrefix()));
        EXPECT_TRUE(file->startsWith(QStringLiteral(":/")));
        EXPECT_TRUE(QFileInfo(*file).isFile());
        named.insert(QDir::cleanPath(*file));
        const QImage drawn = Symbols::render(name, 16, Qt::white, 1);
        ASSERT_FALSE(drawn.isNull());
        EXPECT_TRUE(hasInk(drawn));
    }
    QSet<QString> compiledIn;
    QDirIterator it(Symbols::resourcePrefix(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        compiledIn.insert(QDir::cleanPath(it.next()));
    }
    EXPECT_FALSE(compiledIn.isEmpty());
    EXPECT_EQ(compiledIn, named);
}
