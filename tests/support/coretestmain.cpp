#include "testmain.h"

#include <QCoreApplication>

// The pipeline's tests run without a window, as the pipeline must.
int main(int argc, char **argv)
{
    return runTests<QCoreApplication>(argc, argv);
}
