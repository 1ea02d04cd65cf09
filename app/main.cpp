#include "app/application.h"
#include "app/mailcollect_unit.h"
#include "app/mainform_unit.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/popupmenuhost.h"

#include <cstdio>

int main(int argc, char** argv)
{
    vornik::Application application(argc, argv);
    // Two collectors in one folder would overwrite each other's emails.txt.
    if (!vornik::lockFolderForThisProcess(vornik::executableDir())) {
        std::fprintf(stderr, "vornik-tools is already running from %s\n", vornik::executableDir().c_str());
        return 0;
    }
    // A pass killed in the instant between naming the new list and putting it
    // in place, or on a file system without unnamed files, leaves its
    // temporary file; only such files go, never one of the user's.
    vornik::removeUnfinishedWritesBeside(vornik::addressFilePath());
    // Menus open without animation while the program runs; the setting is
    // the application's own and is put back at the end.
    vornik::switchOffMenuAnimation();
    int result = 0;
    {
        vornik::TForm1 Form1;
        vornik::TForm2 Form2;
        Form1.showAtStartup();
        result = application.exec();
    }
    vornik::restoreMenuAnimation();
    return result;
}
