#include "CodePage.h"
#include "TApplication.h"
#include "Unit1.h"

int main(int argc, char* argv[])
{
    // The code page is fixed for the life of the program before anything can show a text.
    InitSystemCodePage();
    Q_INIT_RESOURCE(wordmill);
    TApplication application(argc, argv);
    return RunMainForm(application, Form1);
}
