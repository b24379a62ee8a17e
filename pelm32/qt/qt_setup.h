// The Qt application the engine needs: the program's own when it has one,
// else one the engine makes (headless where there is no display).
#pragma once

namespace pelm32 {

// False when no application with fonts can be had (a non-GUI one exists).
bool EnsureApplication();

// True when windows can be shown: widgets and a real display (an
// application is made for them when the program has none yet).
bool DisplayAvailable();

}  // namespace pelm32
