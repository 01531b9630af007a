#include "fakes/QtPrinters.h"
#include "ui/kit/Painter.h"
#include "ui/kit/Symbols.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

#include <gtest/gtest.h>

using namespace korvo::ui;

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
        EXPECT_FALSE(opaqueBounds(drawn).isEmpty());
    }
    QSet<QString> compiledIn;
    QDirIterator it(Symbols::resourcePrefix(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        compiledIn.insert(QDir::cleanPath(it.next()));
    }
    EXPECT_FALSE(compiledIn.isEmpty());
    EXPECT_EQ(compiledIn, named);
}
