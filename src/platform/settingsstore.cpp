#include "settingsstore.h"

#include <QSettings>
#include <utility>

namespace {

QSettings::Format storeFormat()
{
#ifdef Q_OS_WIN
    return QSettings::NativeFormat;
#else
    return QSettings::IniFormat;
#endif
}

SettingsStore *&replacement()
{
    static SettingsStore *store = nullptr;
    return store;
}

} // namespace

QString QSettingsStore::read(const QString &app, const QString &section, const QString &key,
    const QString &defaultValue) const
{
    QSettings settings(storeFormat(), QSettings::UserScope, app, app);
    settings.beginGroup(section);
    const QVariant value = settings.value(key);
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
    QSettings settings(storeFormat(), QSettings::UserScope, app, app);
    settings.beginGroup(section);
    settings.setValue(key, text);
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
