// quillet-hostloop OUTPUT DRAWING...: the host's own share of a folder batch in a process of its
// own, started as quillet-batch is, so that the folder benchmark can set one process against the
// other and neither is charged for starting cold. Prints the number of sheets saved. Without
// drawings it ends before making its application: the start-up alone.

#include "hostloop.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 3)
        return 0;
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    std::printf("%d\n", saveEverySheetToDxf(arguments.at(1), arguments.mid(2)));
    return 0;
}
