#include <QApplication>

#include "app/application.h"

int main(int argc, char** argv)
{
    QApplication qtApplication(argc, argv);
    Application application;
    return application.run();
}
