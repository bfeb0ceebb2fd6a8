#include "MelodriftRadioApp.h"

int main(int argc, char **argv)
{
    MelodriftRadioApp::preparePlatform(argc, argv);
    MelodriftRadioApp app(argc, argv);
    return app.run();
}
