#pragma once

#include "platform/settingsstore.h"

#include <QMap>
#include <QStringList>

// A settings store in memory that records the order of writes.
class MemorySettings : public SettingsStore {
public:
    QString read(const QString &app, const QString &section, const QString &key,
        const QString &defaultValue) const override
    {
        return values.value(
            app + QLatin1Char('/') + section + QLatin1Char('/') + key, defaultValue);
    }
    void write(const QString &app, const QString &section, const QString &key,
        const QString &text) override
    {
        writes.append(key);
        values.insert(app + QLatin1Char('/') + section + QLatin1Char('/') + key, text);
    }
    void set(const QString &key, const QString &text)
    {
        values.insert(QStringLiteral("Quillet/Startup/") + key, text);
    }
    QString get(const QString &key) const
    {
        return values.value(QStringLiteral("Quillet/Startup/") + key);
    }

    QMap<QString, QString> values;
    QStringList writes;
};
