#include "raster_internal.h"

namespace raster {

void drawPrimitives(const DrawState&, const ColourTarget&, const DepthTarget&, D3DPRIMITIVETYPE, const VertexInput&,
                    const IndexInput&, UINT, UINT) {}

}  // namespace raster
