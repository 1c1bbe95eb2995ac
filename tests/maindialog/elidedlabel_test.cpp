#include "maindialog/elidedlabel.h"

#include <QApplication>
#include <QFontMetrics>
#include <gtest/gtest.h>

// The main dialog's "Next file" line when it does not fit: the directory gives way, the file
// name stays whole while it fits on its own.
class ElidePath : public ::testing::Test {
protected:
    int width(const QString &text) const { return metrics.horizontalAdvance(text); }
    QString shownIn(int room) const
    {
        return elidePath(line, heading.size(), nameFrom, room, metrics);
    }

    const QFontMetrics metrics { QApplication::font() };
    const QString heading = QStringLiteral("Next file: ");
    const QString name = QStringLiteral("PLATE_Sheet1_C.DXF");
    const QString line
        = heading + QStringLiteral("C:\\Drawings\\Customer projects 2024\\Base plates\\") + name;
    const qsizetype nameFrom = line.size() - name.size();
    const QChar ellipsis { 0x2026 };
};

TEST_F(ElidePath, TheDirectoryGivesWayInItsMiddleAndTheNameStaysWhole)
{
    EXPECT_EQ(shownIn(width(line)), line);
    // One pixel short: a little of the directory's middle goes, its beginning stays.
    const QString nearlyWhole = shownIn(width(line) - 1);
    EXPECT_TRUE(nearlyWhole.startsWith("Next file: C:\\Drawings\\")) << qPrintable(nearlyWhole);
    EXPECT_TRUE(nearlyWhole.endsWith("plates\\" + name)) << qPrintable(nearlyWhole);
    EXPECT_TRUE(nearlyWhole.contains(ellipsis));
    // The heading stays as long as there is room for it, an ellipsis and the name.
    const int headingRoom = width(heading + ellipsis + name);
    for (const int room : { width(line) / 2, headingRoom + 1, headingRoom }) {
        const QString shown = shownIn(room);
        SCOPED_TRACE(shown.toStdString());
        EXPECT_TRUE(shown.startsWith(heading) && shown.endsWith(name));
        EXPECT_TRUE(shown.contains(ellipsis));
        EXPECT_LE(width(shown), room);
    }
    EXPECT_EQ(shownIn(headingRoom), heading + ellipsis + name);
    // Less room: the heading gives way as well, the name stays whole while it fits alone.
    const QString noHeading = shownIn(headingRoom - 1);
    EXPECT_TRUE(noHeading.endsWith(name) && !noHeading.startsWith(heading))
        << qPrintable(noHeading);
    EXPECT_LE(width(noHeading), headingRoom - 1);
    EXPECT_EQ(shownIn(width(name)), name);
}

TEST_F(ElidePath, ANameWiderThanTheRoomAndALineWithoutANameLoseTheirMiddle)
{
    const QString cutName = shownIn(width(name) - 1);
    EXPECT_TRUE(
        cutName.startsWith("PLATE_") && cutName.endsWith(".DXF") && cutName.contains(ellipsis))
        << qPrintable(cutName);
    EXPECT_LE(width(cutName), width(name) - 1);

    const QString reason = QStringLiteral("Next file: (Invalid or empty filename specification.)");
    const QString cutReason = elidePath(reason, -1, -1, width(reason) / 2, metrics);
    EXPECT_TRUE(
        cutReason.startsWith("Next") && cutReason.endsWith(".)") && cutReason.contains(ellipsis))
        << qPrintable(cutReason);
    EXPECT_EQ(elidePath(reason, -1, -1, width(reason), metrics), reason);
}
