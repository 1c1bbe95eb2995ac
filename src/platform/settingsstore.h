#pragma once

#include <QSettings>
#include <QString>
#include <memory>

// The per-user settings store: named text values by application, section and key.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString read(const QString &app, const QString &section, const QString &key,
        const QString &defaultValue) const = 0;
    virtual void write(
        const QString &app, const QString &section, const QString &key, const QString &text)
        = 0;
};

// QSettings in the user scope: the registry under
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<app>\<section> on Windows, the INI file
// $XDG_CONFIG_HOME/<app>/<app>.ini with group <section> elsewhere.
class QSettingsStore : public SettingsStore {
public:
    QString read(const QString &app, const QString &section, const QString &key,
        const QString &defaultValue) const override;
    void write(const QString &app, const QString &section, const QString &key,
        const QString &text) override;
};

// The settings of one application in that store, with one group per section.
std::unique_ptr<QSettings> openUserStore(const QString &app);

// The store the add-in reads and writes: the user's QSettings store, unless a test has put
// another in its place.
SettingsStore &userSettings();
// Returns the store it replaces (nullptr for the user's own); nullptr restores the user's own.
SettingsStore *setUserSettings(SettingsStore *store);
