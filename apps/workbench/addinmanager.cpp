#include "addinmanager.h"

#include "addin/CadHost.h"
#include "addin/quilletmain.h"
#include "workbench/workbenchsettings.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QLibrary>
#include <QPluginLoader>
#include <exception>

namespace {

QString choiceKey(const QString &fileName)
{
    return QStringLiteral("AddIns/") + fileName;
}

} // namespace

struct AddInManager::Connection {
    std::unique_ptr<QObject> object;
    CadAddIn *addIn = nullptr;
};

AddInManager::AddInManager(
    std::shared_ptr<CadApplication> host, const QStringList &pluginDirectories)
    : host(std::move(host))
{
    QStringList fileNames;
    for (const QString &directory : pluginDirectories) {
        const QDir dir(directory);
        for (const QString &fileName : dir.entryList(QDir::Files, QDir::Name)) {
            if (QLibrary::isLibrary(fileName) && !fileNames.contains(fileName)
                && addPlugin(dir.absoluteFilePath(fileName)))
                fileNames.append(fileName);
        }
    }
}

bool AddInManager::addPlugin(const QString &path)
{
    const QPluginLoader loader(path);
    const QJsonObject metaData = loader.metaData();
    // Files that are no Qt plugins (an installed workbench's directory is the system's program
    // directory) and plugins of other kinds are none of the workbench's business.
    if (metaData.value(QStringLiteral("IID")).toString() != QLatin1String(CadAddInFactory_iid))
        return false;
    AddInPlugin plugin;
    plugin.fileName = QFileInfo(path).fileName();
    plugin.name = plugin.fileName;
    const QJsonObject product = metaData.value(QStringLiteral("MetaData")).toObject();
    const QString productName = product.value(QStringLiteral("productName")).toString();
    // The metadata holds the version as the module's version resource does, in numbers; the
    // add-in's own rule turns them into the text its menu item and captions show.
    if (!productName.isEmpty()) {
        plugin.name = productName + QLatin1Char(' ')
            + Quilletmain::formatVersion(product.value(QStringLiteral("versionMajor")).toInt(),
                product.value(QStringLiteral("versionMinor")).toInt());
    }
    plugin.description = product.value(QStringLiteral("fileDescription")).toString();
    found.append(plugin);
    paths.append(path);
    connections.emplace_back();
    return true;
}

AddInManager::~AddInManager()
{
    for (int i = 0; i < found.size(); ++i)
        disconnectPlugin(i);
}

void AddInManager::connectChosen()
{
    const auto settings = workbenchSettings();
    for (int i = 0; i < found.size(); ++i) {
        if (settings->value(choiceKey(found.at(i).fileName), true).toBool())
            connectPlugin(i);
    }
}

bool AddInManager::setConnected(int index, bool connected)
{
    if (index < 0 || index >= found.size())
        return false;
    workbenchSettings()->setValue(choiceKey(found.at(index).fileName), connected);
    if (connected == found.at(index).connected)
        return true;
    if (connected)
        return connectPlugin(index);
    disconnectPlugin(index);
    return true;
}

bool AddInManager::connectPlugin(int index)
{
    AddInPlugin &plugin = found[index];
    if (plugin.connected)
        return true;
    plugin.error.clear();
    QPluginLoader loader(paths.at(index));
    QObject *root = loader.instance();
    auto *factory = qobject_cast<CadAddInFactory *>(root);
    if (!factory) {
        plugin.error = root ? QStringLiteral("the plugin makes no add-ins") : loader.errorString();
        return false;
    }
    auto connection = std::make_unique<Connection>();
    connection->object.reset(factory->createAddIn());
    connection->addIn = dynamic_cast<CadAddIn *>(connection->object.get());
    if (!connection->addIn) {
        plugin.error = QStringLiteral("the plugin made no add-in object");
        return false;
    }
    // A failing connect is the add-in's failure, not the workbench's: it is reported and the
    // add-in object goes.
    bool connected = false;
    try {
        connected = connection->addIn->SwAddIn_ConnectToSW(host, nextCookie++);
    } catch (const std::exception &failure) {
        plugin.error = QStringLiteral("connect failed: ") + QString::fromUtf8(failure.what());
        return false;
    }
    if (!connected) {
        plugin.error = QStringLiteral("connect returned false");
        return false;
    }
    connections[index] = std::move(connection);
    plugin.connected = true;
    return true;
}

void AddInManager::disconnectPlugin(int index)
{
    AddInPlugin &plugin = found[index];
    if (!plugin.connected)
        return;
    plugin.connected = false;
    plugin.error.clear();
    // The add-in goes whatever its disconnect answers; the library stays loaded, as objects of
    // the add-in's may still be around.
    const std::unique_ptr<Connection> connection = std::move(connections[index]);
    try {
        if (!connection->addIn->SwAddIn_DisconnectFromSW())
            plugin.error = QStringLiteral("disconnect returned false");
    } catch (const std::exception &failure) {
        plugin.error = QStringLiteral("disconnect failed: ") + QString::fromUtf8(failure.what());
    }
}
