#include "quilletplugin.h"

#include "swaddin.h"

QObject *QuilletPlugin::createAddIn()
{
    return new swAddIn;
}
