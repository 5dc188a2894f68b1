#include "app/Application.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    if (const QString problem = kestrel::Application::prepareDisplay(); !problem.isEmpty()) {
        kestrel::Application::complain(problem);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KESTREL"));
    QApplication::setApplicationVersion(QStringLiteral("2.1"));
    kestrel::Application kestrelApp;
    return kestrelApp.run();
}
