#include <QApplication>

#include "app/SonarelApplication.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    return sonarel::runSonarel();
}
