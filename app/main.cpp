// Start-up of the desktop application: one modal window, then the program ends.
#include "app/KestruneApp.h"

int main(int argc, char** argv)
{
    CKestruneApp app(argc, argv);
    app.InitInstance();
    return 0;
}
