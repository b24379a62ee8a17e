// The Qt application the engine needs: the program's own when it has one,
// else one the engine makes (headless where there is no display).
#pragma once

namespace pelm32 {

// False when no application with fonts can be had (a non-GUI one exists).
bool EnsureApplication();

// True when a preview can be shown: widgets, a real display, and
// PELM32_PREVIEW not set to 0.
bool PreviewAvailable();

}  // namespace pelm32
