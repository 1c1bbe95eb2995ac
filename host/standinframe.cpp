#include "standinframe.h"

void StandInFrame::SetStatusBarText(const QString &text)
{
    current = text;
    history.append(text);
    emit statusBarTextChanged(text);
}
