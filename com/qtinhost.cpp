#include "qtinhost.h"

#include "platform/moduleinfo.h"

#include <QApplication>
#include <QDir>
#include <memory>

namespace {

// QApplication keeps the references it is given to its arguments for its whole life.
int argumentCount = 1;
char programName[] = "Quillet";
char *arguments[] = { programName, nullptr };

std::unique_ptr<QApplication> &ownApplication()
{
    static std::unique_ptr<QApplication> application;
    return application;
}

} // namespace

void QtInHost::start()
{
    if (QCoreApplication::instance())
        return;
    // The platform and image format plugins lie beside the module in their own folders; the
    // host's current directory, its PATH and the place Qt was built for say nothing about them.
    QCoreApplication::addLibraryPath(QDir::cleanPath(moduleDirectory()));
    ownApplication() = std::make_unique<QApplication>(argumentCount, arguments);
    // The host decides when its process ends, not the closing of the add-in's last window.
    QApplication::setQuitOnLastWindowClosed(false);
}

void QtInHost::stop()
{
    ownApplication().reset();
}
