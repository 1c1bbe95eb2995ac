#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// A hash of text that ignores letter case: texts equal by QString::compare(Qt::CaseInsensitive)
// hash alike.
size_t caselessHash(const QString &text, size_t seed);

// The collected filename formats of each output type: an insertion-ordered map from a format list
// key ("[.DXF]", "[.1.PDF]", ...) to a list of formats. Keys compare exactly; within one list the
// formats compare without regard to case, so a list never holds two formats that differ only in
// letter case.
class FmtLists {
public:
    // The eight format list keys of the output format table, in the order of the file.
    static const QStringList &standardKeys();
    // The eight standard keys, each with an empty list.
    static FmtLists withStandardKeys();

    // A key that is already there keeps its list.
    void addKey(const QString &key);
    bool contains(const QString &key) const;
    // In insertion order.
    QStringList keys() const;
    // The formats of key in the order they were added; empty for an unknown key.
    QStringList list(const QString &key) const;

    // False, and nothing changes, when key is unknown (no key is added) or its list already holds
    // format without regard to case; the format that came first stays.
    bool append(const QString &key, const QString &format);
    // Removes the format equal to format without regard to case; false when there is none.
    bool remove(const QString &key, const QString &format);

private:
    // A format as a lookup key that compares and hashes without regard to case. It shares the
    // text of the format in the list, so the lookup costs no second copy of a long list.
    struct CaselessKey {
        QString text;
        friend bool operator==(const CaselessKey &a, const CaselessKey &b)
        {
            return a.text.compare(b.text, Qt::CaseInsensitive) == 0;
        }
        friend size_t qHash(const CaselessKey &key, size_t seed)
        {
            return caselessHash(key.text, seed);
        }
    };

    struct Section {
        QString key;
        QStringList formats;
        // The same formats, so that a duplicate is found without searching the list.
        QSet<CaselessKey> lookup;
    };

    Section *find(const QString &key);
    const Section *find(const QString &key) const;

    QList<Section> sections;
};
