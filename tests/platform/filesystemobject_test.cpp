#include "platform/filesystemobject.h"
#include "platform/quilleterror.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <array>
#include <gtest/gtest.h>

// Each path text with its file name, base name and drive name, as Windows names them.
TEST(FileSystemObject, PathTextPartsFollowWindowsRules)
{
    const FileSystemObject fso;
    const std::array<const char *, 4> cases[] = {
        { "C:\\Out\\PLATE.SLDDRW", "PLATE.SLDDRW", "PLATE", "C:" },
        { "q:\\Out\\a.b.c", "a.b.c", "a.b", "q:" },
        { "C:\\Out\\DXF\\", "DXF", "DXF", "C:" },
        { "C:name.txt", "name.txt", "name", "C:" },
        { "C:\\", "", "", "C:" },
        { "DXF\\noext", "noext", "noext", "" },
        { "\\Out", "Out", "Out", "" },
        { "\\\\server\\share\\dir", "dir", "dir", "\\\\server\\share" },
        { "", "", "", "" },
    };
    for (const auto &[path, file, base, drive] : cases) {
        const QString text = QString::fromLatin1(path);
        EXPECT_EQ(
            QStringList({ fso.GetFileName(text), fso.GetBaseName(text), fso.GetDriveName(text) }),
            QStringList({ file, base, drive }))
            << path;
    }
}

TEST(FileSystemObject, BuildpathJoinsWithExactlyOneSeparator)
{
    const FileSystemObject fso;
    const std::array<const char *, 3> cases[] = { { "C:\\Out", "DXF", "C:\\Out\\DXF" },
        { "C:\\Out\\", "\\DXF", "C:\\Out\\DXF" }, { "C:\\", "DXF", "C:\\DXF" },
        { "C:", "DXF", "C:DXF" }, { "", "DXF", "DXF" }, { "\\", "DXF", "\\DXF" } };
    for (const auto &[path, name, joined] : cases)
        EXPECT_EQ(fso.buildpath(QLatin1String(path), QLatin1String(name)), QLatin1String(joined));
}

TEST(FileSystemObject, DriveMapBothWays)
{
    TempDrive drive(QLatin1Char('T'));
    const FileSystemObject fso;
    EXPECT_TRUE(fso.DriveExists(QStringLiteral("T:")));
    EXPECT_TRUE(fso.DriveExists(QStringLiteral("t:")));
    EXPECT_TRUE(fso.DriveExists(QStringLiteral("T:\\")));
    EXPECT_FALSE(fso.DriveExists(QString()));
    EXPECT_FALSE(fso.DriveExists(QStringLiteral("\\\\server\\share")));

    EXPECT_EQ(
        fso.toNative(QStringLiteral("T:\\a\\b.txt")), drive.native(QStringLiteral("a/b.txt")));
    EXPECT_EQ(fso.toNative(QStringLiteral("T:")), drive.native());
    EXPECT_EQ(
        fso.fromNative(drive.native(QStringLiteral("a/b.txt"))), QStringLiteral("T:\\a\\b.txt"));
    EXPECT_EQ(fso.fromNative(drive.native()), QStringLiteral("T:\\"));
    // Above "/" natively is "/" itself.
    EXPECT_EQ(fso.fromNative(QStringLiteral("/..") + drive.native(QStringLiteral("a"))),
        QStringLiteral("T:\\a"));

    // The longest mapped root wins; a root that is only a name prefix does not count.
    TempDrive inner(QLatin1Char('U'));
    FileSystemObject::setDrive(QLatin1Char('V'), drive.native(QStringLiteral("sub")));
    EXPECT_EQ(fso.fromNative(drive.native(QStringLiteral("sub/x"))), QStringLiteral("V:\\x"));
    EXPECT_EQ(
        fso.fromNative(drive.native(QStringLiteral("subway/x"))), QStringLiteral("T:\\subway\\x"));
}

TEST(FileSystemObject, UnmappedDrivesDoNotExist)
{
    FileSystemObject::setDrives({ { QLatin1Char('C'), QDir::tempPath() } });
    const FileSystemObject fso;
    EXPECT_FALSE(fso.DriveExists(QStringLiteral("Q:")));
    EXPECT_FALSE(fso.folderExists(QStringLiteral("Q:\\Out")));
    EXPECT_FALSE(fso.fileexists(QStringLiteral("\\\\server\\share\\x")));
    EXPECT_EQ(
        raisedBy([&] { fso.createfolder(QStringLiteral("Q:\\Out")); }), "68 Device unavailable");
    EXPECT_EQ(raisedBy([&] { fso.toNative(QStringLiteral("\\\\server\\share\\x")); }),
        "68 Device unavailable");
    EXPECT_EQ(raisedBy([&] { fso.fromNative(QStringLiteral("/")); }),
        QDir::tempPath() == QLatin1String("/") ? "" : "68 Device unavailable");
    FileSystemObject::resetDrives();
}

// Path text with "." and ".." levels, the text it resolves to and the place it names below the
// root of drive T: or C:. Relative text goes on from the current directory T:\A\B, two levels
// below T's root, and names the same place joined below that directory.
struct DotCase {
    const char *text;
    const char *resolved;
    char drive;
    const char *native;
};

class DotLevels : public ::testing::TestWithParam<DotCase> {
protected:
    void SetUp() override
    {
        t.mkdir(QStringLiteral("A/B"));
        QDir::setCurrent(t.native(QStringLiteral("A/B")));
    }
    void TearDown() override { QDir::setCurrent(savedCurrent); }

    const QString savedCurrent = QDir::currentPath();
    const TempDrive t { QLatin1Char('T') };
    const TempDrive c { QLatin1Char('C') };
};

TEST_P(DotLevels, ResolveAsWindowsDoesAndStayOnTheirDrive)
{
    const FileSystemObject fso;
    const QString text = QString::fromLatin1(GetParam().text);
    const QString native = (GetParam().drive == 'T' ? t : c).native(GetParam().native);
    EXPECT_EQ(fso.resolveDotLevels(text), QString::fromLatin1(GetParam().resolved));
    EXPECT_EQ(fso.toNative(text), native);
    if (fso.GetDriveName(text).isEmpty() && !text.startsWith(QLatin1Char('\\'))) {
        EXPECT_EQ(fso.toNative(fso.buildpath(t.win(QStringLiteral("A\\B")), text)), native);
    }
    QDir().mkpath(native);
    EXPECT_TRUE(fso.folderExists(text));
}

INSTANTIATE_TEST_SUITE_P(Cases, DotLevels,
    ::testing::Values(DotCase { ".\\DXF", "DXF", 'T', "A/B/DXF" },
        DotCase { "..\\DXF", "..\\DXF", 'T', "A/DXF" },
        DotCase { "DXF\\.\\x", "DXF\\x", 'T', "A/B/DXF/x" },
        DotCase { "a\\..\\b", "b", 'T', "A/B/b" },
        DotCase { "..\\..\\..\\..\\..\\x", "..\\..\\..\\..\\..\\x", 'T', "x" },
        DotCase { "T:\\..\\x", "T:\\x", 'T', "x" },
        DotCase { "t:\\A/B\\\\..\\../..", "t:\\", 'T', "" },
        DotCase { "C:\\Out\\..\\Out", "C:\\Out", 'C', "Out" },
        DotCase { "C:a\\..\\..\\x", "C:..\\x", 'C', "x" },
        DotCase { "\\a\\b", "\\a\\b", 'C', "a/b" }, DotCase { "\\..\\a\\.", "\\a", 'C', "a" }));

TEST(FileSystemObject, CreatesOneLevelWhoseParentExists)
{
    TempDrive drive;
    const FileSystemObject fso;
    fso.createfolder(drive.win(QStringLiteral("A")));
    EXPECT_TRUE(fso.folderExists(drive.win(QStringLiteral("A"))));
    EXPECT_FALSE(fso.fileexists(drive.win(QStringLiteral("A"))));
    EXPECT_EQ(raisedBy([&] { fso.createfolder(drive.win(QStringLiteral("A"))); }),
        "58 File already exists");
    EXPECT_EQ(raisedBy([&] { fso.createfolder(drive.win(QStringLiteral("B\\C"))); }),
        "76 Path not found");
    // Text the system cannot take.
    const QString withNul = drive.win(QStringLiteral("a")) + QChar(0) + QStringLiteral("b");
    EXPECT_EQ(raisedBy([&] { fso.createfolder(withNul); }), "52 Bad file name or number");
    EXPECT_EQ(raisedBy([&] { fso.fileexists(withNul); }), "52 Bad file name or number");
    EXPECT_EQ(tree(drive.native()), QStringList { QStringLiteral("A") });
}

TEST(FileSystemObject, ReplaceFileKeepsTheOldContentOnFailure)
{
    TempDrive drive;
    const FileSystemObject fso;
    const QString path = drive.win(QStringLiteral("list.txt"));
    EXPECT_EQ(raisedBy([&] { fso.replaceFile(path, "new"); }), "53 File not found");
    writeNative(drive.native(QStringLiteral("list.txt")), "old");
    fso.replaceFile(path, "new\r\n");
    EXPECT_EQ(fso.readFile(path), QByteArray("new\r\n"));

    // A disk that fills up, then a file that may not be written.
    QString error;
    {
        const FileSizeLimit limit(16);
        error = raisedBy([&] { fso.replaceFile(path, QByteArray(4096, 'x')); });
    }
    EXPECT_EQ(error, "75 Path/File access error");
    QFile::setPermissions(drive.native(QStringLiteral("list.txt")), QFile::ReadOwner);
    const WithoutFileRights withoutRights;
    EXPECT_EQ(raisedBy([&] { fso.replaceFile(path, "lost"); }), "70 Permission denied");
    EXPECT_EQ(readNative(drive.native(QStringLiteral("list.txt"))), QByteArray("new\r\n"));
    EXPECT_EQ(tree(drive.native()), QStringList { QStringLiteral("list.txt") });
}

TEST(FileSystemObject, DriveSpecificationsParse)
{
    QChar letter;
    QString root;
    ASSERT_TRUE(
        FileSystemObject::parseDriveMapping(QStringLiteral("k:=/srv/cad/"), &letter, &root));
    EXPECT_EQ(letter, QLatin1Char('K'));
    EXPECT_EQ(root, QStringLiteral("/srv/cad"));
    EXPECT_FALSE(FileSystemObject::parseDriveMapping(QStringLiteral("K=/srv"), &letter, &root));
    EXPECT_FALSE(FileSystemObject::parseDriveMapping(QStringLiteral("1:=/srv"), &letter, &root));
}
