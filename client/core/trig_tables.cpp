#include "client/core/trig_tables.h"

#include <cmath>
#include <numbers>

namespace {

template <typename F>
AngleTable MakeTable(F function) {
    AngleTable table{};
    for (int k = 0; k < kAngleUnits; ++k)
        table[k] = static_cast<int32_t>(std::lround(65536.0 * function(2.0 * std::numbers::pi * k / kAngleUnits)));
    return table;
}

}  // namespace

const AngleTable SineTable = MakeTable([](double a) { return std::sin(a); });
const AngleTable CosineTable = MakeTable([](double a) { return std::cos(a); });
