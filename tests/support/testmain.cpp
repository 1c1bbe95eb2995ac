#include "testmain.h"

#include <QApplication>

// Dialog tests show widgets.
int main(int argc, char **argv)
{
    return runTests<QApplication>(argc, argv);
}
