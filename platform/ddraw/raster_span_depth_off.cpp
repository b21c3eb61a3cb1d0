// The specialised span loops without a depth test (their own file so the instantiations compile in
// parallel with those of raster_span_depth16.cpp).
#include "platform/ddraw/raster_span.h"

namespace platform::dd::raster {

const SpanTable kSpansDepthOff = MakeSpanTable<kDepthOff>(std::make_index_sequence<kKeysPerDepth>());

}  // namespace platform::dd::raster
