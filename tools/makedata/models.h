// The show's four models, each sized for where its scenes place it (the camera stands at z = -1 looking
// at the origin, with a 95-degree vertical view).
#pragma once

#include "mesh.h"

namespace makedata {

Mesh makeKnot();   // knodu.r3d: a torus knot, tumbling at the origin in the title scene
Mesh makeShell();  // thingy.r3d: a spiral seashell, shown 3 units behind the origin
Mesh makeBlob();   // obu.r3d: a gourd of seven twisted ridges, spinning at the origin
Mesh makeGem();    // glimmora.r3d: a faceted gem, drawn up to 45 times per frame in the swarm

}  // namespace makedata
