#include "platform/filesystemobject.h"
#include "platform/quilleterror.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <array>
#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

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

#ifndef Q_OS_WIN
// The drive map is played off Windows only; on Windows the system resolves paths.
TEST(FileSystemObject, DriveMapBothWays)
{
    TempDrive drive('T');
    const FileSystemObject fso;
    EXPECT_TRUE(fso.DriveExists("T:"));
    EXPECT_TRUE(fso.DriveExists("t:"));
    EXPECT_TRUE(fso.DriveExists("T:\\"));
    EXPECT_FALSE(fso.DriveExists(QString()));
    EXPECT_FALSE(fso.DriveExists("\\\\server\\share"));

    EXPECT_EQ(fso.toNative("T:\\a\\b.txt"), drive.native("a/b.txt"));
    EXPECT_EQ(fso.toNative("T:"), drive.native());
    EXPECT_EQ(fso.fromNative(drive.native("a/b.txt")), "T:\\a\\b.txt");
    EXPECT_EQ(fso.fromNative(drive.native()), "T:\\");
    // Above "/" natively is "/" itself.
    EXPECT_EQ(fso.fromNative("/.." + drive.native("a")), "T:\\a");

    // The longest mapped root wins; a root that is only a name prefix does not count.
    TempDrive inner('U');
    FileSystemObject::setDrive('V', drive.native("sub"));
    EXPECT_EQ(fso.fromNative(drive.native("sub/x")), "V:\\x");
    EXPECT_EQ(fso.fromNative(drive.native("subway/x")), "T:\\subway\\x");
}

TEST(FileSystemObject, UnmappedDrivesDoNotExist)
{
    FileSystemObject::setDrives({ { 'C', QDir::tempPath() } });
    const FileSystemObject fso;
    EXPECT_FALSE(fso.DriveExists("Q:"));
    EXPECT_FALSE(fso.folderExists("Q:\\Out"));
    EXPECT_FALSE(fso.fileexists("\\\\server\\share\\x"));
    EXPECT_EQ(raisedBy([&] { fso.createfolder("Q:\\Out"); }), "68 Device unavailable");
    EXPECT_EQ(raisedBy([&] { fso.toNative("\\\\server\\share\\x"); }), "68 Device unavailable");
    EXPECT_EQ(raisedBy([&] { fso.fromNative("/"); }),
        QDir::tempPath() == QLatin1String("/") ? "" : "68 Device unavailable");
    FileSystemObject::resetDrives();
}

// Path text with "." and ".." levels, the text it resolves to and the place it names below the
// root of drive T: or C:. Relative text goes on from the current directory T:\A\B, two levels
// below T's root, and names the same place joined below that directory.
TEST(FileSystemObject, DotLevelsResolveAsWindowsDoesAndStayOnTheirDrive)
{
    const TempDrive t { 'T' };
    const TempDrive c { 'C' };
    t.mkdir("A/B");
    const QString savedCurrent = QDir::currentPath();
    QDir::setCurrent(t.native("A/B"));
    const FileSystemObject fso;
    const std::tuple<const char *, const char *, char, const char *> cases[]
        = { { ".\\DXF", "DXF", 'T', "A/B/DXF" }, { "..\\DXF", "..\\DXF", 'T', "A/DXF" },
              { "a\\..\\b", "b", 'T', "A/B/b" },
              { "..\\..\\..\\..\\..\\x", "..\\..\\..\\..\\..\\x", 'T', "x" },
              { "T:\\..\\x", "T:\\x", 'T', "x" }, { "t:\\A/B\\\\..\\../..", "t:\\", 'T', "" },
              { "C:\\Out\\..\\Out", "C:\\Out", 'C', "Out" },
              { "C:a\\..\\..\\x", "C:..\\x", 'C', "x" }, { "\\..\\a\\.", "\\a", 'C', "a" } };
    for (const auto &[text, resolved, drive, relative] : cases) {
        const QString path = QString::fromLatin1(text);
        const QString native = (drive == 'T' ? t : c).native(QString::fromLatin1(relative));
        EXPECT_EQ(fso.resolveDotLevels(path), QString::fromLatin1(resolved)) << text;
        EXPECT_EQ(fso.toNative(path), native) << text;
        if (fso.GetDriveName(path).isEmpty() && !path.startsWith('\\')) {
            EXPECT_EQ(fso.toNative(fso.buildpath(t.win("A\\B"), path)), native) << text;
        }
        QDir().mkpath(native);
        EXPECT_TRUE(fso.folderExists(path)) << text;
    }
    QDir::setCurrent(savedCurrent);
}
#endif

TEST(FileSystemObject, CreatesOneLevelWhoseParentExists)
{
    TempDrive drive;
    const FileSystemObject fso;
    fso.createfolder(drive.win("A"));
    EXPECT_TRUE(fso.folderExists(drive.win("A")));
    EXPECT_FALSE(fso.fileexists(drive.win("A")));
#ifndef Q_OS_WIN
    ASSERT_EQ(mkfifo(QFile::encodeName(drive.native("pipe")).constData(), 0600), 0);
    EXPECT_FALSE(fso.fileexists(drive.win("pipe")));
    QFile::remove(drive.native("pipe"));
#endif
    EXPECT_EQ(raisedBy([&] { fso.createfolder(drive.win("A")); }), "58 File already exists");
    EXPECT_EQ(raisedBy([&] { fso.createfolder(drive.win("B\\C")); }), "76 Path not found");
    // Text the system cannot take.
    const QString withNul = drive.win("a") + QChar(0) + "b";
    EXPECT_EQ(raisedBy([&] { fso.createfolder(withNul); }), "52 Bad file name or number");
    EXPECT_EQ(raisedBy([&] { fso.fileexists(withNul); }), "52 Bad file name or number");
    EXPECT_EQ(tree(drive.native()), QStringList { "A" });
}

TEST(FileSystemObject, ReplaceFileKeepsTheOldContentOnFailure)
{
    TempDrive drive;
    const FileSystemObject fso;
    const QString path = drive.win("list.txt");
    EXPECT_EQ(raisedBy([&] { fso.replaceFile(path, "new"); }), "53 File not found");
    writeNative(drive.native("list.txt"), "old");
    fso.replaceFile(path, "new\r\n");
    EXPECT_EQ(fso.readFile(path), QByteArray("new\r\n"));

#ifndef Q_OS_WIN
    // A disk that fills up, then a file that may not be written.
    QString error;
    {
        const FileSizeLimit limit(16);
        error = raisedBy([&] { fso.replaceFile(path, QByteArray(4096, 'x')); });
    }
    EXPECT_EQ(error, "75 Path/File access error");
    QFile::setPermissions(drive.native("list.txt"), QFile::ReadOwner);
    const WithoutFileRights withoutRights;
    EXPECT_EQ(raisedBy([&] { fso.replaceFile(path, "lost"); }), "70 Permission denied");
    EXPECT_EQ(readNative(drive.native("list.txt")), QByteArray("new\r\n"));
    EXPECT_EQ(tree(drive.native()), QStringList { "list.txt" });
#endif
}
