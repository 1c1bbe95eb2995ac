#include "settingsstore.h"

#include <utility>

namespace {

SettingsStore *&replacement()
{
    static SettingsStore *store = nullptr;
    return store;
}

} // namespace

// On Windows the key where per-user add-in settings of this kind have always lived, so that
// choices stored by an earlier version of the add-in are found; elsewhere an INI file.
std::unique_ptr<QSettings> openUserStore(const QString &app)
{
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\") + app,
        QSettings::NativeFormat);
#else
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, app, app);
#endif
}

QString QSettingsStore::read(const QString &app, const QString &section, const QString &key,
    const QString &defaultValue) const
{
    const std::unique_ptr<QSettings> settings = openUserStore(app);
    settings->beginGroup(section);
    const QVariant value = settings->value(key);
    if (!value.isValid())
        return defaultValue;
    // A hand-edited INI value with unquoted commas reads back as a list; it was one text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void QSettingsStore::write(
    const QString &app, const QString &section, const QString &key, const QString &text)
{
    const std::unique_ptr<QSettings> settings = openUserStore(app);
    settings->beginGroup(section);
    settings->setValue(key, text);
}

SettingsStore &userSettings()
{
    static QSettingsStore userStore;
    return replacement() ? *replacement() : userStore;
}

SettingsStore *setUserSettings(SettingsStore *store)
{
    return std::exchange(replacement(), store);
}
