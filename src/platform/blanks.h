#pragma once

#include <QString>

// Leading and trailing blanks (spaces only) removed; tabs and other white space stay, as the
// stored texts and the host's values expect.
inline QString trimBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}
