#include "app/application.h"

int main(int argc, char** argv)
{
    vornik::Application application(argc, argv);
    return application.exec();
}
