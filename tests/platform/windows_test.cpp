#include "addin/quilletmain.h"
#include "dirdialogs/drivelist.h"
#include "platform/filesystemobject.h"
#include "platform/moduleinfo.h"
#include "platform/pdfwritervalue.h"
#include "platform/settingsstore.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <gtest/gtest.h>
#include <windows.h>

// What only Windows has: the registry, the system's drives, the version resource of a module file,
// the names the file system refuses. Each test process has a registry hive of its own.
namespace {

const wchar_t *const storedChoicesKey = L"Software\\VB and VBA Program Settings\\Quillet\\Startup";
const wchar_t *const pdfWriterKey = L"Software\\Bluebeam Software\\Pushbutton PDF\\SolidWorksLt";

// A registry value as the system keeps it: its type and its bytes.
struct RawValue {
    DWORD type = REG_NONE;
    QByteArray data;
};

RawValue rawValue(const wchar_t *key, const wchar_t *name)
{
    RawValue value;
    DWORD size = 0;
    if (RegGetValueW(
            HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, &value.type, nullptr, &size)
        != ERROR_SUCCESS)
        return {};
    value.data.resize(size);
    RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, &value.type,
        value.data.data(), &size);
    return value;
}

void setRawValue(const wchar_t *key, const wchar_t *name, DWORD type, const QByteArray &data)
{
    ASSERT_EQ(
        RegSetKeyValueW(HKEY_CURRENT_USER, key, name, type, data.constData(), DWORD(data.size())),
        ERROR_SUCCESS);
}

// A string value's bytes: UTF-16 with the closing NUL.
QByteArray stringData(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), (text.size() + 1) * 2);
}

QByteArray dwordData(DWORD number)
{
    return QByteArray(reinterpret_cast<const char *>(&number), sizeof number);
}

} // namespace

TEST(WindowsRegistry, StoredChoicesAreStringValuesOfTheKeyEarlierVersionsUsed)
{
    setRawValue(storedChoicesKey, L"Path", REG_SZ, stringData("D:\\Drawings\\Out"));
    QSettingsStore store;
    EXPECT_EQ(store.read("Quillet", "Startup", "Path", "c:\\"), "D:\\Drawings\\Out");
    store.write("Quillet", "Startup", "OutputFormatIndex", "6");
    const RawValue written = rawValue(storedChoicesKey, L"OutputFormatIndex");
    EXPECT_EQ(written.type, DWORD(REG_SZ));
    EXPECT_EQ(written.data, stringData("6"));
}

TEST(WindowsRegistry, PdfWriterValueIsReadWhateverItsTypeAndWrittenAsAString)
{
    EXPECT_EQ(readPdfWriterValue(), 0);
    const struct {
        DWORD type;
        QByteArray data;
        int value;
    } rows[] = {
        { REG_SZ, stringData("1"), 1 },
        { REG_SZ, stringData(" 1 "), 1 },
        { REG_SZ, stringData("yes"), 0 },
        { REG_DWORD, dwordData(0), 0 },
        { REG_BINARY, QByteArray(1, '\1'), 0 },
        { REG_BINARY, QByteArray(), 0 },
        // Last, so that writing the same value still makes it a string.
        { REG_DWORD, dwordData(1), 1 },
    };
    for (const auto &row : rows) {
        setRawValue(pdfWriterKey, L"WhatToPlot", row.type, row.data);
        EXPECT_EQ(readPdfWriterValue(), row.value) << row.type << ' ' << row.data.toHex().data();
    }
    for (const int value : { 1, 0 }) {
        ASSERT_TRUE(writePdfWriterValue(value));
        const RawValue written = rawValue(pdfWriterKey, L"WhatToPlot");
        EXPECT_EQ(written.type, DWORD(REG_SZ));
        EXPECT_EQ(written.data, stringData(QString::number(value)));
    }
}

TEST(WindowsDrives, AreTheSystemsAndAShareThatCannotBeReachedDoesNotExist)
{
    const TempDrive drive;
    const FileSystemObject fso;
    for (const char *present : { "C:", "c:\\", "T:" })
        EXPECT_TRUE(fso.DriveExists(present)) << present;
    for (const char *absent : { "Q:", "Q:\\", "\\\\nowhere.invalid\\share", "C:\\Windows", "" })
        EXPECT_FALSE(fso.DriveExists(absent)) << absent;
    EXPECT_FALSE(fso.folderExists("Q:\\Out"));
    EXPECT_FALSE(fso.fileexists("\\\\nowhere.invalid\\share\\PLATE.SLDDRW"));
    EXPECT_EQ(fso.fromNative(drive.native("Out/PLATE.DXF")), "T:\\Out\\PLATE.DXF");

    DriveList list;
    QStringList shown;
    for (int i = 0; i < list.count(); ++i)
        shown.append(list.itemText(i));
    EXPECT_TRUE(shown.contains("c:") && shown.contains("t:")) << shown.join(' ').toStdString();
    EXPECT_FALSE(shown.contains("q:"));
}

TEST(WindowsPaths, LevelsTheSystemRefusesOrRenamesAreRefusedAndNothingIsCreated)
{
    const TempDrive drive;
    const FileSystemObject fso;
    const char *const refused[] = { "a<b", "a>b", "a:b", "a\"b", "a|b", "a?b", "a*b", "CON",
        "con.txt", "Nul", "AUX .DXF", "PRN", "COM1", "LPT9.PDF", "Name.", "Name ", "Tab\tName" };
    for (const char *name : refused) {
        EXPECT_EQ(
            raisedBy([&] { fso.createfolder(drive.win(name)); }), "52 Bad file name or number")
            << name;
        EXPECT_EQ(raisedBy([&] { fso.readFile(drive.win(name) + "\\PLATE.FMT"); }),
            "52 Bad file name or number")
            << name;
        EXPECT_FALSE(fso.folderExists(drive.win(name))) << name;
        EXPECT_FALSE(fso.fileexists(drive.win(name))) << name;
    }
    // Names that only resemble them are ordinary.
    for (const char *name : { "CONSOLE", "COM10", "LPT", "NUL_1", ".Hidden", "a.b" })
        EXPECT_EQ(raisedBy([&] { fso.createfolder(drive.win(name)); }), "") << name;
    EXPECT_EQ(tree(drive.native()),
        (QStringList { ".Hidden", "COM10", "CONSOLE", "LPT", "NUL_1", "a.b" }));
}

TEST(WindowsModule, VersionResourceIsReadFromTheModulesOwnFile)
{
    const ModuleVersion version = moduleVersion();
    EXPECT_EQ(version.productName, "Quillet");
    EXPECT_EQ(Quilletmain::formatVersion(version.major, version.minor), "1.00");
    EXPECT_EQ(version.legalCopyright, "Copyright (C) 2026 The Quillet developers");
    EXPECT_EQ(version.fileDescription,
        "Name and Save SolidWorks Drawing Documents with Custom Property information in a variety "
        "of formats based on user defined rules");
    // The add-in is linked into this test program, so the program is its module.
    EXPECT_EQ(moduleDirectory(), QCoreApplication::applicationDirPath());

    // Each file says what it is: this program a program, the add-in's module a DLL.
    const auto fileType = [](const QString &path) -> DWORD {
        const std::wstring file = QDir::toNativeSeparators(path).toStdWString();
        QByteArray resource(qsizetype(GetFileVersionInfoSizeW(file.c_str(), nullptr)), '\0');
        void *fixed = nullptr;
        UINT length = 0;
        if (resource.isEmpty()
            || !GetFileVersionInfoW(file.c_str(), 0, DWORD(resource.size()), resource.data())
            || !VerQueryValueW(resource.constData(), L"\\", &fixed, &length))
            return 0;
        return static_cast<const VS_FIXEDFILEINFO *>(fixed)->dwFileType;
    };
    EXPECT_EQ(fileType(QCoreApplication::applicationFilePath()), DWORD(VFT_APP));
    EXPECT_EQ(fileType(moduleDirectory() + "/QuilletAddIn.dll"), DWORD(VFT_DLL));
}
