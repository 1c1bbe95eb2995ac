#pragma once

#include <QString>
#include <functional>
#include <memory>

class CadApplication;
class StagedSaves;
class StandInApplication;

// The host a call opens and saves its drawings in, as the batch sees it: the stand-in host in
// this process, or the CAD host in a process of its own.
class BatchHost {
public:
    virtual ~BatchHost() = default;

    // The application the add-in's pipeline drives.
    virtual std::shared_ptr<CadApplication> application() = 0;
    // Opens the drawing of that absolute native path and makes it the active document; on
    // failure throws OpenFailure.
    virtual void open(const QString &path) = 0;
    // Each drawing starts in an empty host, as if it were opened on its own.
    virtual void closeAll() = 0;
    // Saves from here on are staged beside their targets (see StagedSaves).
    virtual StagedSaves &stageSaves() = 0;
    // When the host was lost over the drawing now ending (stopped or died), why, as its failure;
    // empty when it was not. A lost host is replaced before the next drawing.
    virtual QString lostOver(const QString &drawing)
    {
        Q_UNUSED(drawing);
        return {};
    }
    // Called once the call has saved its last drawing: a host the call started ends here.
    virtual void finish() { }

    struct OpenFailure {
        QString message;
        // The host's own code behind the message, 0 for none.
        int number = 0;
    };

    // The host's status bar texts and its own word on a drawing, such as what a DXF sheet could
    // not show, for the call to print; unset, they go nowhere.
    std::function<void(const QString &)> statusText;
    std::function<void(const QString &)> message;
};

// The stand-in host, in this process.
std::unique_ptr<BatchHost> standInBatchHost();
