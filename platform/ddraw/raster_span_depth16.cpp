// The specialised span loops with a 16-bit depth test.
#include "platform/ddraw/raster_span.h"

namespace platform::dd::raster {

const SpanTable kSpansDepth16 = MakeSpanTable<kDepth16>(std::make_index_sequence<kKeysPerDepth>());

}  // namespace platform::dd::raster
