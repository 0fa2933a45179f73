// The show's pictures, each a pure function of nothing: same pixels on every run.
#pragma once

#include <string>

#include "font_raster.h"
#include "image.h"

namespace makedata {

// Reflection maps. The show samples them at the reflection vector's (x, y) with wrap-around addressing,
// so each tiles seamlessly both ways: a panorama around the horizontal circle, sky at the top and water
// that mirrors it at the bottom, the bottom row meeting the top row.
Image makeDaylightEnvironment();  // texture02.jpg: blue sky, white sun and clouds, islands, sea
Image makeSunsetEnvironment();    // texture07.jpg: violet-gold sunset over the sea
Image makeNightEnvironment();     // envi02.jpg: moonlit sea under an aurora; also a full-screen background

// Base textures of the models (stage 0, where the show multiplies each texel by itself), tileable.
Image makeCrystalTexture();  // texture01.jpg: ice-blue crystalline facets, for the gems
Image makeShellTexture();    // texture05.jpg: cream shell with zigzag bands, for the shell
Image makePearlTexture();    // texture06.jpg: pearlescent swirls, for the blob and the gems
Image makePlasmaTexture();   // envi01.jpg: glowing plasma filaments, for the knot

Image makeLogo(FontFace& face); // sorvina.tga: 512x128 band with alpha, the group's name
Image makeMountainLake();     // tarvok1.tga: 256x384 photograph, a mountain lake at dusk
Image makeStillLife();        // tarvok2.tga: 256x512 photograph, a rendered still life
IndexedImage makeFadeImage();  // feidi.tga: the dark image every scene fades from and to

}  // namespace makedata
