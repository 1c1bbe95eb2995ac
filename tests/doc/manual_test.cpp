#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

// The manual as the build installs it beside the add-in's module: every link and picture in it
// leads somewhere, and every picture kept for it is one it shows.
TEST(UserManual, EveryLinkAndPictureResolves)
{
    const QDir doc(QStringLiteral(QUILLET_MANUAL_DIR));
    QFile file(doc.filePath(QStringLiteral("Quillet_User_Manual.html")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(file.fileName());
    const QString html = QString::fromUtf8(file.readAll());

    QSet<QString> ids;
    for (const auto &match :
        QRegularExpression(QStringLiteral("\\sid=\"([^\"]+)\"")).globalMatch(html))
        ids.insert(match.captured(1));
    int links = 0;
    QStringList pictures;
    for (const auto &match :
        QRegularExpression(QStringLiteral("\\s(href|src)=\"([^\"]*)\"")).globalMatch(html)) {
        const QString target = match.captured(2);
        if (match.captured(1) == QLatin1String("src"))
            pictures.append(target);
        else
            ++links;
        if (target.startsWith(QLatin1Char('#')))
            EXPECT_TRUE(ids.contains(target.mid(1))) << qPrintable(target);
        else
            EXPECT_TRUE(QFile::exists(doc.filePath(target))) << qPrintable(target);
    }
    EXPECT_GE(links, 10);

    QStringList kept;
    for (const QString &name :
        QDir(QStringLiteral(QUILLET_SOURCE_DIR "/doc/pictures")).entryList(QDir::Files))
        kept.append(QStringLiteral("pictures/") + name);
    pictures.sort();
    EXPECT_EQ(pictures.join(QLatin1Char(' ')), kept.join(QLatin1Char(' ')));
}
