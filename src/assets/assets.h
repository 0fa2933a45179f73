// The show's assets: image readers, texture building, models and the asset set.
#pragma once

#include "show.h"

// ---------------------------------------------------------------------------------
// Asset set (asset_set.cpp)
// ---------------------------------------------------------------------------------

// Loads the eleven textures, the 42 glyphs and the four models into ShowState, showing
// one message box per texture that fails; the show goes on without it.
void loadAssets();
// Releases meshes, textures and glyphs in their fixed order, skipping empty fields.
void releaseAssets();
