#pragma once

#include <QString>

class FmtLists;

// The format box's rules for the collected filename formats of one format list key.

// "", " " and "  " are never collected; any other text is, even three blanks.
bool isCollectable(const QString &text);
// Return and focus lost: the text joins the key's list, unless it is not collectable or the list
// holds it already without regard to case.
void collectFormat(FmtLists &fmtLists, const QString &key, const QString &text);
