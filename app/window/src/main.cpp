#include "kes_resources/view_resources.h"
#include "kes_window/mainwindow.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    initViewResources();
    QObject::connect(&app, SIGNAL(lastWindowClosed()), &app, SLOT(quit()));
    MainWindow window;
    window.setAttribute(Qt::WA_QuitOnClose);
    window.show();
    return app.exec();
}
