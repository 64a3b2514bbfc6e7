#include "game/SimpleGame.h"

int main(int argc, char** argv)
{
    return VelvetAisle::RunGame(argc, argv);
}
