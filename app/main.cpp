#include "app/application.h"
#include "app/mailcollect_unit.h"
#include "app/mainform_unit.h"
#include "platform/backends.h"
#include "platform/posix/addressfolder.h"
#include "platform/posix/files.h"
#include "platform/posix/folderlock.h"
#include "platform/qt/popupmenuhost.h"

#include <csignal>
#include <cstdio>

int main(int argc, char** argv)
{
    // The program writes its copies into pipes that other programs hand it
    // through the compositor; a reader that hangs up before the copy is
    // written must end that transfer (the write fails), not the program.
    std::signal(SIGPIPE, SIG_IGN);
    if (!vornik::selectQtPlatform())
        return 1;
    vornik::Application application(argc, argv);
    // Two collectors on one list would overwrite each other's emails.txt.
    if (!vornik::lockFolderForThisProcess(vornik::addressFolder())) {
        std::fprintf(stderr, "vornik-tools is already running with its list in %s\n",
                     vornik::addressFolder().c_str());
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
