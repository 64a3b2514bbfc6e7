#include "engine/core/app/SplashScreens.h"

namespace QuillEngine {

bool RunSplashScreens(EngineManager& /*engine*/)
{
    return false;
}

} // namespace QuillEngine
