#pragma once

#include "addin/CadHost.h"

#include <QObject>

// The root object of the add-in built as a plugin; the host asks it for the add-in object.
class QuilletPlugin : public QObject, public CadAddInFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID CadAddInFactory_iid FILE "quilletplugin.json")
    Q_INTERFACES(CadAddInFactory)

public:
    QObject *createAddIn() override;
};
