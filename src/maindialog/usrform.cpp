#include "usrform.h"

#include "addin/quilletmain.h"

usrForm::usrForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("usrForm"));
    setWindowTitle(Quilletmain::productAndVersion()
        + QStringLiteral(" [Select Output Format and Destination Directory]"));
}
