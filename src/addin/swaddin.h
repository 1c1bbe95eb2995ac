#pragma once

#include "addin/CadHost.h"
#include "platform/quilleterror.h"

#include <QObject>

// The add-in object the host creates: it connects, offers the one menu command for drawings and
// answers it by name.
class swAddIn : public QObject, public CadAddIn {
    Q_OBJECT

public:
    static inline const QString callbackName = QStringLiteral("showForm");

    bool SwAddIn_ConnectToSW(std::shared_ptr<CadApplication> ThisSW, int Cookie) override;
    bool SwAddIn_DisconnectFromSW() override;
    Q_INVOKABLE bool showForm();
    // Shows the user a failure of the command that reached the host's side of the call.
    static void showCommandFailure(const QuilletError &error);

    std::shared_ptr<CadApplication> swInst;
    QString menuItemPath;
};
