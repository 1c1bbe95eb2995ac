// A plugin whose add-in refuses to connect, for the workbench to report.

#include "addin/CadHost.h"

#include <QObject>

class RefusingAddIn : public QObject, public CadAddIn {
public:
    bool SwAddIn_ConnectToSW(std::shared_ptr<CadApplication>, int) override { return false; }
    bool SwAddIn_DisconnectFromSW() override { return true; }
};

class RefusingPlugin : public QObject, public CadAddInFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID CadAddInFactory_iid)
    Q_INTERFACES(CadAddInFactory)

public:
    QObject *createAddIn() override { return new RefusingAddIn; }
};

#include "refusingaddin.moc"
