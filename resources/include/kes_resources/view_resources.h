#pragma once

// Registers the compiled-in shaders, icons, sound and font of the static view library.
// Call once after creating the application object, before building any view or panel.
void initViewResources();
