// One part of the specialised span loops: the keys of one depth mode and one blend. The build
// compiles this file once for each pair, naming it in QUORRIN_SPAN_DEPTH and QUORRIN_SPAN_BLEND.
#include "platform/ddraw/raster_span.h"

namespace platform::dd::raster {

namespace {

template <int Depth, int Blend, size_t... I>
constexpr std::array<SpanFn, kKeysPerPart> MakeSpanPart(std::index_sequence<I...>) {
    return {&SpecialisedRows<KeyAt(Depth, static_cast<int>(I) * kBlends + Blend)>...};
}

}  // namespace

template <int Depth, int Blend>
const SpanFn* SpanPart() {
    static constexpr std::array<SpanFn, kKeysPerPart> table =
        MakeSpanPart<Depth, Blend>(std::make_index_sequence<kKeysPerPart>());
    return table.data();
}

static_assert(QUORRIN_SPAN_DEPTH == kDepthOff || QUORRIN_SPAN_DEPTH == kDepth16);
static_assert(QUORRIN_SPAN_BLEND >= 0 && QUORRIN_SPAN_BLEND < kBlends);
template const SpanFn* SpanPart<QUORRIN_SPAN_DEPTH, QUORRIN_SPAN_BLEND>();

}  // namespace platform::dd::raster
