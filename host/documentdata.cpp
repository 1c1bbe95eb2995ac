#include "documentdata.h"

QString PropertySet::value(const QString &name) const
{
    for (const auto &[key, text] : values) {
        if (key == name)
            return text;
    }
    return {};
}

bool PropertySet::contains(const QString &name) const
{
    for (const auto &entry : values) {
        if (entry.first == name)
            return true;
    }
    return false;
}

void PropertySet::set(const QString &name, const QString &text)
{
    for (auto &entry : values) {
        if (entry.first == name) {
            entry.second = text;
            return;
        }
    }
    values.append({ name, text });
}

const PropertySet *DocumentData::propertySet(const QString &configuration) const
{
    for (const PropertySet &set : properties) {
        if (set.configuration == configuration)
            return &set;
    }
    return nullptr;
}

PropertySet &DocumentData::propertySetFor(const QString &configuration)
{
    for (PropertySet &set : properties) {
        if (set.configuration == configuration)
            return set;
    }
    properties.append(PropertySet { configuration, {} });
    return properties.back();
}

int DocumentData::sheetIndex(const QString &name) const
{
    for (int i = 0; i < sheets.size(); ++i) {
        if (sheets.at(i).name == name)
            return i;
    }
    return -1;
}
