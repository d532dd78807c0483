#include "app/startup.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vantorex"));
    QApplication::setOrganizationName(QStringLiteral("Vantorex"));
    QApplication::setQuitOnLastWindowClosed(false);
    return vx::runProgram(QApplication::arguments().mid(1));
}
