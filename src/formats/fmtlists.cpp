#include "fmtlists.h"

#include "outputformats.h"

#include <QVarLengthArray>

// The hash of the case-folded text, folded code point by code point the way the comparison
// folds. Short texts are folded on the stack, so a lookup usually allocates nothing.
size_t caselessHash(const QString &text, size_t seed)
{
    QVarLengthArray<char16_t, 256> folded;
    folded.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char16_t c = text.at(i).unicode();
        if (c < 0x80) {
            folded.append(c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c);
        } else if (QChar::isHighSurrogate(c) && i + 1 < text.size()
            && text.at(i + 1).isLowSurrogate()) {
            const char32_t point
                = QChar::toCaseFolded(QChar::surrogateToUcs4(c, text.at(++i).unicode()));
            if (QChar::requiresSurrogates(point)) {
                folded.append(QChar::highSurrogate(point));
                folded.append(QChar::lowSurrogate(point));
            } else {
                folded.append(char16_t(point));
            }
        } else {
            folded.append(QChar::toCaseFolded(c));
        }
    }
    return qHash(QStringView(folded.constData(), folded.size()), seed);
}

const QStringList &FmtLists::standardKeys()
{
    static const QStringList keys = OutputFormats::allFormatListKeys();
    return keys;
}

FmtLists FmtLists::withStandardKeys()
{
    FmtLists fmtLists;
    for (const QString &key : standardKeys())
        fmtLists.addKey(key);
    return fmtLists;
}

void FmtLists::addKey(const QString &key)
{
    if (!find(key))
        sections.append(Section { key, {}, {} });
}

bool FmtLists::contains(const QString &key) const
{
    return find(key) != nullptr;
}

QStringList FmtLists::keys() const
{
    QStringList result;
    result.reserve(sections.size());
    for (const Section &section : sections)
        result.append(section.key);
    return result;
}

QStringList FmtLists::list(const QString &key) const
{
    const Section *section = find(key);
    return section ? section->formats : QStringList();
}

bool FmtLists::append(const QString &key, const QString &format)
{
    Section *section = find(key);
    if (!section)
        return false;
    const qsizetype before = section->lookup.size();
    section->lookup.insert(CaselessKey { format });
    if (section->lookup.size() == before)
        return false;
    section->formats.append(format);
    return true;
}

bool FmtLists::remove(const QString &key, const QString &format)
{
    Section *section = find(key);
    if (!section || !section->lookup.remove(CaselessKey { format }))
        return false;
    for (qsizetype i = 0; i < section->formats.size(); ++i) {
        if (section->formats.at(i).compare(format, Qt::CaseInsensitive) == 0) {
            section->formats.removeAt(i);
            break;
        }
    }
    return true;
}

FmtLists::Section *FmtLists::find(const QString &key)
{
    for (Section &section : sections) {
        if (section.key == key)
            return &section;
    }
    return nullptr;
}

const FmtLists::Section *FmtLists::find(const QString &key) const
{
    for (const Section &section : sections) {
        if (section.key == key)
            return &section;
    }
    return nullptr;
}
