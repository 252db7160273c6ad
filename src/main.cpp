#include "app/ui/TessarinApp.h"

int main(int argc, char* argv[])
{
    return TessarinApp::exec(argc, argv);
}
