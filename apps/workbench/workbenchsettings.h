#pragma once

#include <QSettings>
#include <memory>

// The workbench's own settings, apart from the add-ins' stores: the add-ins to connect and the
// documents opened last.
inline std::unique_ptr<QSettings> workbenchSettings()
{
    return std::make_unique<QSettings>(
        QStringLiteral("Quillet"), QStringLiteral("quillet-workbench"));
}
