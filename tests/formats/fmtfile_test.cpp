#include "addin/quilletmain.h"
#include "formats/fmtfile.h"
#include "formats/fmtlists.h"
#include "platform/clock.h"
#include "platform/filesystemobject.h"
#include "platform/moduleinfo.h"
#include "testsupport.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>

namespace {

using Expected = QMap<QString, QStringList>;

const QDateTime createdOn(QDate(2026, 1, 2), QTime(15, 4, 5));
const QString example = "DRWNAME|_|SHEETNAME|_|Revision|_|DATE|_|TIME";
const QString dxf = "[.DXF]";
const QString dwg = "[.DWG]";

// The sections of the lists that hold nothing, in their fixed order after DXF.
const QByteArray restOfSections
    = "[.DWG]\r\n[.EDRW]\r\n[.JPG]\r\n[.TIF]\r\n[.0.PDF]\r\n[.1.PDF]\r\n";

// Every key of the file in order, with only the lists named in expected holding formats.
void expectLists(const FmtLists &fmtLists, const Expected &expected)
{
    EXPECT_EQ(fmtLists.keys(), FmtLists::standardKeys());
    for (const QString &key : FmtLists::standardKeys())
        EXPECT_EQ(fmtLists.list(key), expected.value(key)) << "in " << key.toStdString();
}

} // namespace

class FmtFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedSource = Clock::setSource([] { return createdOn; });
    }
    void TearDown() override { Clock::setSource(savedSource); }

    QByteArray saved() const { return readNative(native); }
    // The saved file after its header of 26 comment lines, the first four of which name the
    // product and the moment the file was written.
    QByteArray savedBody() const
    {
        const QList<QByteArray> lines = saved().split('\n');
        EXPECT_EQ(lines.mid(0, 4),
            QList<QByteArray>(
                { "# Quillet 1.00, " + Quilletmain::legalCopyright.toLocal8Bit() + '\r', "#\r",
                    "# Filename formats file for SolidWorks Addin DLL Quillet\r",
                    "# File created on: " + generalDateText(createdOn).toLocal8Bit() + '\r' }));
        for (const QByteArray &line : lines.mid(4, 22))
            EXPECT_TRUE(line.startsWith('#') && line.endsWith('\r')) << line.constData();
        return lines.mid(26).join('\n');
    }
    void writeFile(const QByteArray &content) const { writeNative(native, content); }
    FmtLists loaded() const
    {
        FmtLists result = FmtLists::withStandardKeys();
        loadFmtFile(result, path);
        return result;
    }

    TempDrive drive;
    const QString path = drive.win("Quillet.FMT");
    const QString native = drive.native("Quillet.FMT");
    FmtLists fmtLists = FmtLists::withStandardKeys();

    Clock::Source savedSource;
};

// Also the reading rules most files meet: sections in any order and repeated, duplicates, and
// section names that are not keys, also in another letter case.
TEST_F(FmtFile, SaveReplacesTheFileWithHeaderAndEverySectionInFixedOrder)
{
    writeFile("# a comment of the user\r\n\r\n[.1.PDF]\nP1\n[.PNG]\nIgnored\n[.DXF]\nD1\nd1\nD2\n"
              "[.dwg]\nLost\n[.DXF]\nD3\n");
    fmtLists = loaded();
    fmtLists.append("[.SLDDRW]", "  Padded\t");
    saveFmtFile(fmtLists, path);

    EXPECT_EQ(savedBody(),
        "[.SLDDRW]\r\n  Padded\t\r\n[.DXF]\r\nD1\r\nD2\r\nD3\r\n[.DWG]\r\n[.EDRW]\r\n[.JPG]\r\n"
        "[.TIF]\r\n[.0.PDF]\r\n[.1.PDF]\r\nP1\r\n");
}

TEST_F(FmtFile, FormatsReadBackAsWrittenUnlessTheReaderDropsPartOfThem)
{
    // The system's encoding: on Windows its single-byte code page (Western European here), UTF-8
    // elsewhere; a blank in front of a format that would otherwise read back as a
    // section name; "#" written whole though it starts a comment when read; and no line break
    // inside a format, which would split its line.
    const QString nul = QStringLiteral("Nul") + QChar(0) + "Inside";
    const struct {
        QString format;
        QByteArray line;
        QString readBack;
    } rows[] = {
        { example, example.toLatin1(), example },
#ifdef Q_OS_WIN
        { "Größe|_|DRWNAME",
            "Gr\xF6\xDF"
            "e|_|DRWNAME",
            "Größe|_|DRWNAME" },
#else
        { "Größe|_|DRWNAME",
            "Gr\xC3\xB6\xC3\x9F"
            "e|_|DRWNAME",
            "Größe|_|DRWNAME" },
#endif
        { nul, QByteArray("Nul\0Inside", 10), nul },
        { "[REV]|_|DRWNAME", " [REV]|_|DRWNAME", "[REV]|_|DRWNAME" },
        { "[.DWG]", " [.DWG]", "[.DWG]" },
        { "A#B", "A#B", "A" },
        { "Two\nLines", "TwoLines", "TwoLines" },
        { "Windows\r\nBreak", "Windows\rBreak", "Windows\rBreak" },
    };
    QByteArray body = "[.SLDDRW]\r\n[.DXF]\r\n";
    QStringList readBack;
    for (const auto &row : rows) {
        ASSERT_TRUE(fmtLists.append(dxf, row.format));
        body += row.line + "\r\n";
        readBack.append(row.readBack);
    }
    writeFile(QByteArray());
    saveFmtFile(fmtLists, path);
    EXPECT_EQ(savedBody(), body + restOfSections);
    expectLists(loaded(), { { dxf, readBack } });
}

TEST_F(FmtFile, SaveCreatesNoFileAndPathsThatLeadNowhereAreNoFailure)
{
    QChar unmapped = 'Q';
    while (FileSystemObject::drives().contains(unmapped))
        unmapped = QChar(unmapped.unicode() + 1);
    fmtLists.append(dxf, example);
    for (const QString &nowhere : { path, QString(unmapped) + ":\\Quillet.FMT",
             drive.win(QStringLiteral("Qu") + QChar(0) + "illet.FMT"),
             drive.win("Missing\\Quillet.FMT"), drive.win() }) {
        EXPECT_NO_THROW(saveFmtFile(fmtLists, nowhere));
        FmtLists target = FmtLists::withStandardKeys();
        EXPECT_NO_THROW(loadFmtFile(target, nowhere));
        expectLists(target, {});
    }

    // Also when the file was there at load and went away before Go.
    writeFile("[.DXF]\r\nA\r\n");
    fmtLists = loaded();
    ASSERT_TRUE(QFile::remove(native));
    EXPECT_NO_THROW(saveFmtFile(fmtLists, path));
    EXPECT_EQ(tree(drive.native()), QStringList());
}

TEST_F(FmtFile, LoadAddsToTheListsAndLeavesThemWhenThereIsNothingToRead)
{
    fmtLists.append(dxf, "mine");
    loadFmtFile(fmtLists, path);
    expectLists(fmtLists, { { dxf, { "mine" } } });

    writeFile("[.DXF]\r\nMINE\r\nfrom file\r\n");
    loadFmtFile(fmtLists, path);
    expectLists(fmtLists, { { dxf, { "mine", "from file" } } });

#ifndef Q_OS_WIN
    writeFile("[.DXF]\r\nunreadable\r\n");
    ASSERT_TRUE(QFile::setPermissions(native, QFileDevice::Permissions()));
    const WithoutFileRights withoutRights;
    EXPECT_NO_THROW(loadFmtFile(fmtLists, path));
    expectLists(fmtLists, { { dxf, { "mine", "from file" } } });
#endif
}

#ifndef Q_OS_WIN
// Installed where the user may not write, the formats in use are in a per-user copy: the first
// save makes it from the lists, loads read it from then on, and the installed file stays as it is.
// Once the module's directory can be written again, its own file is the one in use.
TEST_F(FmtFile, AModuleDirectoryTheUserCannotWriteKeepsTheFormatsInAPerUserCopy)
{
    QTemporaryDir module;
    QTemporaryDir data;
    const QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    setModuleDirectory(module.path());
    const auto restore = qScopeGuard([&] {
        setModuleDirectory({});
        qputenv("XDG_DATA_HOME", savedDataHome);
    });
    const QString copy = data.path() + "/Quillet/Quillet.FMT";
    ASSERT_EQ(perUserFmtFilePath(), copy);
    const QByteArray installed = "[.DXF]\r\nInstalled\r\n";
    writeNative(module.filePath("Quillet.FMT"), installed);
    const auto load = [] {
        FmtLists lists = FmtLists::withStandardKeys();
        loadFmtFile(lists);
        return lists;
    };

    ASSERT_TRUE(QFile::setPermissions(module.path(), QFile::ReadOwner | QFile::ExeOwner));
    {
        const WithoutFileRights withoutRights;
        fmtLists = load();
        expectLists(fmtLists, { { dxf, { "Installed" } } });
        fmtLists.append(dxf, "Mine");
        saveFmtFile(fmtLists);
        expectLists(load(), { { dxf, { "Installed", "Mine" } } });
        ASSERT_TRUE(QFile::setPermissions(copy, QFileDevice::Permissions()));
        expectLists(load(), {});
        ASSERT_TRUE(QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner));
    }
    EXPECT_EQ(readNative(module.filePath("Quillet.FMT")), installed);
    EXPECT_EQ(tree(module.path()), QStringList { "Quillet.FMT" });
    EXPECT_TRUE(readNative(copy).endsWith("[.DXF]\r\nInstalled\r\nMine\r\n" + restOfSections));

    ASSERT_TRUE(QFile::setPermissions(
        module.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    expectLists(load(), { { dxf, { "Installed" } } });
}
#endif

TEST_F(FmtFile, GeneralDateIsShortDateAndLongTimeWithoutZone)
{
    const QDateTime utc(QDate(2026, 1, 2), QTime(15, 4, 5), Qt::UTC);
    EXPECT_EQ(generalDateText(utc, QLocale::c()), "2 Jan 2026 15:04:05");
    EXPECT_EQ(generalDateText(utc, QLocale("en_US")), "1/2/26 3:04:05 PM");
    EXPECT_EQ(generalDateText(utc, QLocale("fa_IR")), "۲۰۲۶/۱/۲ ۱۵:۰۴:۰۵");
}

TEST_F(FmtFile, MegabyteLinesAreReadWhole)
{
    const QByteArray big(1024 * 1024, 'x');
    writeFile("[.DXF]\r\n" + big + "\r\n#" + big + "\r\n" + QByteArray(1024 * 1024, ' ') + "\r\n["
        + big + "]\r\nunder a long section name\r\n[.DXF]\r\n" + big + "y # " + big);
    const Expected expected { { dxf,
        { QString::fromLatin1(big), QString::fromLatin1(big + "y") } } };
    fmtLists = loaded();
    expectLists(fmtLists, expected);
    saveFmtFile(fmtLists, path);
    expectLists(loaded(), expected);
}

// One formats file and the lists it gives: reading rules, line ends and odd content.
TEST_F(FmtFile, EachFileGivesTheseLists)
{
    const std::tuple<const char *, QByteArray, Expected> cases[] = {
        { "FinalLineEndCutAfterCr", "[.DXF]\r\nA\r\nB\r", { { dxf, { "A", "B" } } } },
        { "SectionOnTheLastLine", "[.DXF]\r\nA\r\n[.DWG]", { { dxf, { "A" } } } },
        { "CommentCutsAnywhereAndBlanksGo",
            "[.DXF]\r\n   A|_|B   # the usual one\r\nC#D\r\n#E\r\n  # F\r\nG  #\r\n",
            { { dxf, { "A|_|B", "C", "G" } } } },
        { "TabsStay", "[.DXF]\r\n \t A\t \r\n", { { dxf, { "\t A\t" } } } },
        { "BlankBeforeBracketMakesAFormat", "[.DXF]\r\n [.DWG]\r\n[.DWG]  # its header\r\nX\r\n",
            { { dxf, { "[.DWG]" } }, { dwg, { "X" } } } },
        { "SectionNameIsTheWholeEntry",
            "[.DXF] extra\r\nA\r\n[.DXF]\t\r\nB\r\n[ .DXF]\r\nC\r\n[.DXF]\r\nD\r\n",
            { { dxf, { "D" } } } },
        { "UnknownSectionsAndLinesBeforeAnySectionAreIgnored",
            "A\r\n[.PNG]\r\nB\r\n[.DXF]\r\nC\r\n[.PDF]\r\nD\r\n[]\r\nE\r\n[\r\nF\r\n",
            { { dxf, { "C" } } } },
        { "CommentedSectionIsNoSection", "[.DWG]\r\nA\r\n#[.DXF]\r\nB\r\n",
            { { dwg, { "A", "B" } } } },
        { "EmptyBlankAndLoneCrLinesAreSkipped",
            "\r\n\r\n[.DXF]\r\n\r\n   \r\n\r\r\n  \r\r\n\r\n\nA\r\n\r\n", { { dxf, { "A" } } } },
    };
    for (const auto &[name, content, expected] : cases) {
        SCOPED_TRACE(name);
        writeFile(content);
        expectLists(loaded(), expected);
    }
}
