#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class CadAddIn;
class CadApplication;
class QObject;

// An add-in plugin found in the plugin directory.
struct AddInPlugin {
    QString fileName;
    // The product name and version from the plugin's metadata; the file name when it has none.
    QString name;
    QString description;
    bool connected = false;
    // Why the plugin could not be loaded or its add-in connected, the last time it was tried.
    QString error;
};

// The add-ins of the plugin directories, in their order (an add-in's file name found in an earlier
// one hides the same name in a later one): found by the factory interface in their plugins'
// metadata, loaded with QPluginLoader, and connected and disconnected through the host contract
// only, each connection with a cookie of its own. The workbench's settings keep which add-ins the
// user wants connected, by plugin file name; one without a stored choice is connected, so that a
// new user finds the add-ins' commands right away. Other files are passed over silently; an
// add-in that cannot be loaded or connected is listed with the reason.
class AddInManager {
public:
    AddInManager(std::shared_ptr<CadApplication> host, const QStringList &pluginDirectories);
    // Disconnects every add-in.
    ~AddInManager();

    const QList<AddInPlugin> &plugins() const { return found; }
    // Connects the add-ins the settings ask for.
    void connectChosen();
    // Connects or disconnects one add-in and keeps the choice. True when it is now in the state
    // asked for.
    bool setConnected(int index, bool connected);

private:
    struct Connection;
    // False when the file holds no add-in: nothing is listed.
    bool addPlugin(const QString &path);
    bool connectPlugin(int index);
    void disconnectPlugin(int index);

    std::shared_ptr<CadApplication> host;
    QList<AddInPlugin> found;
    QStringList paths;
    std::vector<std::unique_ptr<Connection>> connections;
    int nextCookie = 1;
};
