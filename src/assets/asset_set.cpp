#include "assets.h"

// Filled in with the texture builder and the model reader.
void loadAssets()
{
}

void releaseAssets()
{
}
