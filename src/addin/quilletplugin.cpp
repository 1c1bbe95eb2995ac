#include "quilletplugin.h"

#include "addin/swaddin.h"

QObject *QuilletPlugin::createAddIn()
{
    return new swAddIn;
}
