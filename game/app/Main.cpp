#include "engine/core/CrashHandler.h"
#include "game/app/SimpleGame.h"
#include "platform/window/Window.h"

int main(int argc, char** argv)
{
    // A crashing copy starts the program again only to show its message.
    if (QuillEngine::CrashHandler::RunHelperIfRequested(argc, argv, &QuillPlatform::ShowMessageBox))
        return 0;
    return VelvetAisle::RunGame(argc, argv);
}
