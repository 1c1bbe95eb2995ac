#include "batchoptions.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <gtest/gtest.h>

// The manual pages as they are installed: in step with the program they describe, and pages man
// can show without a complaint.

namespace {

QString manualPage(const QString &name)
{
    QFile file(QStringLiteral(QUILLET_SOURCE_DIR "/packaging/man/") + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

// An option the help lists but the page leaves out is one a user reading the page never learns of.
TEST(ManualPages, TheBatchPageDescribesEveryOptionTheHelpLists)
{
    const QString help = BatchCommandLine::parse({ "quillet-batch", "--help" }).text;
    const QString page = manualPage(QStringLiteral("quillet-batch.1"));
    ASSERT_FALSE(page.isEmpty());
    QStringList missing;
    static const QRegularExpression option(QStringLiteral("--([a-z][a-z-]*)"));
    for (const QRegularExpressionMatch &match : option.globalMatch(help)) {
        // Roff writes every hyphen of an option as "\-".
        QString written = QStringLiteral("--") + match.captured(1);
        written.replace(QLatin1Char('-'), QStringLiteral("\\-"));
        if (!page.contains(written) && !missing.contains(match.captured(1)))
            missing.append(match.captured(1));
    }
    EXPECT_TRUE(missing.isEmpty()) << "not in the page: " << missing.join(", ").toStdString();
}

TEST(ManualPages, FormatWithoutAWarning)
{
    if (QStandardPaths::findExecutable(QStringLiteral("groff")).isEmpty())
        GTEST_SKIP() << "groff is not installed";
    for (const char *name : { "quillet-batch.1", "quillet-workbench.1" }) {
        QProcess groff;
        groff.start(QStringLiteral("groff"),
            { "-man", "-ww", "-z", "-Tutf8",
                QStringLiteral(QUILLET_SOURCE_DIR "/packaging/man/") + QLatin1String(name) });
        ASSERT_TRUE(groff.waitForFinished(30000));
        EXPECT_EQ(groff.exitCode(), 0) << name;
        EXPECT_EQ(QString::fromUtf8(groff.readAllStandardError()), QString()) << name;
    }
}
