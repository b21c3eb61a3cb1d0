#pragma once
// The table test every streamable engine class joins: save a filled-in object, load it back,
// compare with IsEqualTo, check that a second save gives the same bytes, that every truncation of
// the file fails cleanly, and that the saved file matches its committed fuzz seed.
//
// To add classes from a test program (any engine library):
//   const SgStreamCase kCases[] = {{"SgFooProperty", [] { auto* p = new SgFooProperty; ...; return
//       SgRef<SgObject>(p); }}, ...};
//   TEST_P(SgStreamCaseTest, RoundTrip) { CheckStreamRoundTrip(GetParam()); }
//   TEST_P(SgStreamCaseTest, MatchesSeed) { CheckStreamSeed(GetParam()); }
//   INSTANTIATE_TEST_SUITE_P(Foo, SgStreamCaseTest, testing::ValuesIn(kCases), SgStreamCaseName);
// and run the program once with UPDATE_SGF_SEEDS=1 to write fuzz/seeds/sgf_fuzz/<name>.sgf, then
// commit the new seed files. Set every field off its default so the comparison is exercised.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/core/sg_object.h"

struct SgStreamCase {
    std::string name;  // unique across the engine: names the test and the seed file
    std::function<SgRef<SgObject>()> make;
    // Run after the round trip, before the leak check: undoes what loading did to process-wide
    // state (loaded actions join the action list).
    std::function<void()> cleanup = {};
};

// Test listings show the case's name, not its bytes.
inline void PrintTo(const SgStreamCase& c, std::ostream* out) { *out << c.name; }

class SgStreamCaseTest : public testing::TestWithParam<SgStreamCase> {};

std::string SgStreamCaseName(const testing::TestParamInfo<SgStreamCase>& info);

// The object saved as the one top-level object of a file.
std::vector<uint8_t> SaveAsTopLevel(SgObject* object);
// Loads bytes and returns the one top-level object (null, with a test failure, otherwise).
SgRef<SgObject> LoadSingleTopLevel(const std::vector<uint8_t>& bytes);

void CheckStreamRoundTrip(const SgStreamCase& c);
void CheckStreamSeed(const SgStreamCase& c);
