// The GPOS pair-kerning reader, over fonts built byte by byte here.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "engine/graphics/text/OpenTypeKerning.h"

using namespace QuillEngine;

namespace {

using Bytes = std::vector<uint8_t>;

void U16(Bytes& b, uint32_t v)
{
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}
void U32(Bytes& b, uint32_t v)
{
    U16(b, v >> 16);
    U16(b, v & 0xFFFF);
}
void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

Bytes Coverage1(std::initializer_list<uint16_t> glyphs)
{
    Bytes b;
    U16(b, 1);
    U16(b, uint32_t(glyphs.size()));
    for (uint16_t g : glyphs)
        U16(b, g);
    return b;
}

// A format-2 coverage or class definition: (first glyph, last glyph, value) per range, the value
// being the coverage index of the range's first glyph or the range's class.
Bytes RangeTable(std::initializer_list<std::array<uint16_t, 3>> ranges)
{
    Bytes b;
    U16(b, 2);
    U16(b, uint32_t(ranges.size()));
    for (const auto& r : ranges)
        for (uint16_t v : r)
            U16(b, v);
    return b;
}

struct Pair {
    uint16_t second;
    std::vector<int16_t> values; // as many as the value format has bits
};

// Pair adjustment format 1 with value format 2 = 0; one pair set per first glyph, in order. With
// `ownCoverage` the sets belong to the glyphs it covers, in its order, and their first glyphs are
// not used.
Bytes PairPos1(uint16_t valueFormat, const std::vector<std::pair<uint16_t, std::vector<Pair>>>& sets,
               const Bytes* ownCoverage = nullptr)
{
    std::vector<Bytes> pairSets;
    Bytes coverage;
    U16(coverage, 1);
    U16(coverage, uint32_t(sets.size()));
    for (const auto& [first, pairs] : sets) {
        U16(coverage, first);
        Bytes set;
        U16(set, uint32_t(pairs.size()));
        for (const Pair& p : pairs) {
            U16(set, p.second);
            for (int16_t v : p.values)
                U16(set, uint16_t(v));
        }
        pairSets.push_back(set);
    }
    if (ownCoverage)
        coverage = *ownCoverage;
    Bytes b;
    const size_t header = 10 + 2 * sets.size();
    U16(b, 1);
    U16(b, uint32_t(header));
    U16(b, valueFormat);
    U16(b, 0);
    U16(b, uint32_t(sets.size()));
    size_t offset = header + coverage.size();
    for (const Bytes& set : pairSets) {
        U16(b, uint32_t(offset));
        offset += set.size();
    }
    Append(b, coverage);
    for (const Bytes& set : pairSets)
        Append(b, set);
    return b;
}

// Pair adjustment format 2, value format 0x0004 (XAdvance) for the first glyph only. Class 1 of
// the first glyph comes from a format 1 class definition, class 2 from a format 2 one.
Bytes PairPos2(const Bytes& coverage, uint16_t class1Start, std::initializer_list<uint16_t> class1Values,
               std::initializer_list<std::array<uint16_t, 3>> class2Ranges, uint16_t class1Count,
               uint16_t class2Count, const std::vector<int16_t>& xAdvances)
{
    Bytes classDef1;
    U16(classDef1, 1);
    U16(classDef1, class1Start);
    U16(classDef1, uint32_t(class1Values.size()));
    for (uint16_t c : class1Values)
        U16(classDef1, c);
    const Bytes classDef2 = RangeTable(class2Ranges);
    Bytes b;
    const size_t header = 16 + 2 * xAdvances.size();
    U16(b, 2);
    U16(b, uint32_t(header));
    U16(b, 0x0004);
    U16(b, 0);
    U16(b, uint32_t(header + coverage.size()));
    U16(b, uint32_t(header + coverage.size() + classDef1.size()));
    U16(b, class1Count);
    U16(b, class2Count);
    for (int16_t v : xAdvances)
        U16(b, uint16_t(v));
    Append(b, coverage);
    Append(b, classDef1);
    Append(b, classDef2);
    return b;
}

struct GposSpec {
    struct Script {
        uint32_t tag;
        bool hasDefault;
        std::vector<uint16_t> features;
    };
    std::vector<Script> scripts;
    std::vector<std::pair<uint32_t, std::vector<uint16_t>>> features;
    std::vector<std::pair<uint16_t, std::vector<Bytes>>> lookups; // type, subtables
};

Bytes BuildGpos(const GposSpec& spec)
{
    Bytes scriptList, featureList, lookupList;
    {
        std::vector<Bytes> scripts;
        for (const auto& s : spec.scripts) {
            Bytes sb;
            U16(sb, s.hasDefault ? 4 : 0);
            U16(sb, 0);
            if (s.hasDefault) {
                U16(sb, 0);
                U16(sb, 0xFFFF);
                U16(sb, uint32_t(s.features.size()));
                for (uint16_t f : s.features)
                    U16(sb, f);
            }
            scripts.push_back(sb);
        }
        U16(scriptList, uint32_t(scripts.size()));
        size_t offset = 2 + 6 * scripts.size();
        for (size_t i = 0; i < scripts.size(); ++i) {
            U32(scriptList, spec.scripts[i].tag);
            U16(scriptList, uint32_t(offset));
            offset += scripts[i].size();
        }
        for (const Bytes& sb : scripts)
            Append(scriptList, sb);
    }
    {
        U16(featureList, uint32_t(spec.features.size()));
        size_t offset = 2 + 6 * spec.features.size();
        for (const auto& [tag, lookups] : spec.features) {
            U32(featureList, tag);
            U16(featureList, uint32_t(offset));
            offset += 4 + 2 * lookups.size();
        }
        for (const auto& f : spec.features) {
            U16(featureList, 0);
            U16(featureList, uint32_t(f.second.size()));
            for (uint16_t l : f.second)
                U16(featureList, l);
        }
    }
    {
        std::vector<Bytes> lookups;
        for (const auto& [type, subtables] : spec.lookups) {
            Bytes lb;
            U16(lb, type);
            U16(lb, 0);
            U16(lb, uint32_t(subtables.size()));
            size_t offset = 6 + 2 * subtables.size();
            for (const Bytes& st : subtables) {
                U16(lb, uint32_t(offset));
                offset += st.size();
            }
            for (const Bytes& st : subtables)
                Append(lb, st);
            lookups.push_back(lb);
        }
        U16(lookupList, uint32_t(lookups.size()));
        size_t offset = 2 + 2 * lookups.size();
        for (const Bytes& lb : lookups) {
            U16(lookupList, uint32_t(offset));
            offset += lb.size();
        }
        for (const Bytes& lb : lookups)
            Append(lookupList, lb);
    }
    Bytes b;
    U32(b, 0x00010000);
    U16(b, 10);
    U16(b, uint32_t(10 + scriptList.size()));
    U16(b, uint32_t(10 + scriptList.size() + featureList.size()));
    Append(b, scriptList);
    Append(b, featureList);
    Append(b, lookupList);
    return b;
}

Bytes BuildFont(const Bytes& gpos, uint32_t version = kOtfCffVersion)
{
    Bytes b;
    U32(b, version);
    U16(b, 2);
    U16(b, 32);
    U16(b, 1);
    U16(b, 0);
    // An unrelated table first, then GPOS.
    U32(b, OtfTag('h', 'e', 'a', 'd'));
    U32(b, 0);
    U32(b, 44);
    U32(b, 4);
    U32(b, OtfTag('G', 'P', 'O', 'S'));
    U32(b, 0);
    U32(b, 48);
    U32(b, uint32_t(gpos.size()));
    U32(b, 0xDEADBEEF);
    Append(b, gpos);
    return b;
}

const uint32_t kLatn = OtfTag('l', 'a', 't', 'n');
const uint32_t kCyrl = OtfTag('c', 'y', 'r', 'l');
const uint32_t kGrek = OtfTag('g', 'r', 'e', 'k');
const uint32_t kKern = OtfTag('k', 'e', 'r', 'n');
const uint32_t kLiga = OtfTag('l', 'i', 'g', 'a');

// Scripts `first` and `second`: the first's kern lookup moves glyph pair (10, 20) by -11, the
// second's by -22.
Bytes TwoScriptFont(uint32_t first, uint32_t second)
{
    GposSpec spec;
    spec.scripts = {{first, true, {0}}, {second, true, {1}}};
    spec.features = {{kKern, {0}}, {kKern, {1}}};
    spec.lookups = {{2, {PairPos1(0x0004, {{10, {{20, {-11}}}}})}}, {2, {PairPos1(0x0004, {{10, {{20, {-22}}}}})}}};
    return BuildFont(BuildGpos(spec));
}

int XAdvance(const IOtfFont& font, uint16_t first, uint16_t second)
{
    const IOtfGposTable* gpos = font.GetGposTable();
    ValueRecord v1, v2;
    if (!gpos || !gpos->GetPairAdjustment(first, second, v1, v2))
        return 0;
    return v1.xAdvance;
}

// Every prefix of `font` parses without reading past its end; a prefix kerns with the subtables
// that fit whole (all of them tighten, so never beyond the whole font) or not at all.
void ExpectTruncationsAreSafe(const Bytes& font, uint16_t first, uint16_t second)
{
    const int whole = XAdvance(*CreateOtfHeader(font.data(), font.size()), first, second);
    for (size_t n = 0; n < font.size(); ++n) {
        // A fresh copy of exactly n bytes, so that a read past its end is caught by the sanitiser.
        const Bytes prefix(font.begin(), font.begin() + static_cast<std::ptrdiff_t>(n));
        const auto header = CreateOtfHeader(prefix.data(), prefix.size());
        const int got = XAdvance(*header, first, second);
        EXPECT_TRUE(got <= 0 && got >= whole) << "prefix " << n << ": " << got;
    }
}

} // namespace

TEST(KerningGposTest, ScriptChoicePrefersLatinThenTheFirstScript)
{
    EXPECT_EQ(XAdvance(*CreateOtfHeader(TwoScriptFont(kCyrl, kLatn).data(), TwoScriptFont(kCyrl, kLatn).size()), 10,
                       20),
              -22);
    const Bytes noLatin = TwoScriptFont(kCyrl, kGrek);
    EXPECT_EQ(XAdvance(*CreateOtfHeader(noLatin.data(), noLatin.size()), 10, 20), -11);
    // Another pair is not kerned.
    EXPECT_EQ(XAdvance(*CreateOtfHeader(noLatin.data(), noLatin.size()), 20, 10), 0);
}

TEST(KerningGposTest, OnlyCffOutlineFontsAreRead)
{
    GposSpec spec;
    spec.scripts = {{kLatn, true, {0}}};
    spec.features = {{kKern, {0}}};
    spec.lookups = {{2, {PairPos1(0x0004, {{10, {{20, {-40}}}}})}}};
    const Bytes gpos = BuildGpos(spec);
    const Bytes cff = BuildFont(gpos);
    const Bytes trueType = BuildFont(gpos, 0x00010000);
    EXPECT_EQ(XAdvance(*CreateOtfHeader(cff.data(), cff.size()), 10, 20), -40);
    const auto header = CreateOtfHeader(trueType.data(), trueType.size());
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->GetGposTable(), nullptr);
}

TEST(KerningGposTest, LookupChoiceTakesTheFirstLookupOfTheFirstKernFeature)
{
    GposSpec spec;
    // The language system lists a ligature feature first, then two kern features.
    spec.scripts = {{kLatn, true, {0, 2, 1}}};
    spec.features = {{kLiga, {1}}, {kKern, {0}}, {kKern, {2, 0}}};
    spec.lookups = {{2, {PairPos1(0x0004, {{10, {{20, {-5}}}}})}},
                    {2, {PairPos1(0x0004, {{10, {{20, {-6}}}}})}},
                    {2, {PairPos1(0x0004, {{10, {{20, {-7}}}}})}}};
    const Bytes font = BuildFont(BuildGpos(spec));
    // Feature 2 is the first kern feature listed; its first lookup is lookup 2.
    EXPECT_EQ(XAdvance(*CreateOtfHeader(font.data(), font.size()), 10, 20), -7);

    // No default language system, or no kern feature in it: nothing is kerned.
    spec.scripts = {{kLatn, false, {}}};
    const Bytes noDefault = BuildFont(BuildGpos(spec));
    EXPECT_EQ(XAdvance(*CreateOtfHeader(noDefault.data(), noDefault.size()), 10, 20), 0);
    spec.scripts = {{kLatn, true, {0}}};
    const Bytes noKern = BuildFont(BuildGpos(spec));
    EXPECT_EQ(XAdvance(*CreateOtfHeader(noKern.data(), noKern.size()), 10, 20), 0);
    // A kern feature naming a lookup that does not exist.
    spec.scripts = {{kLatn, true, {1}}};
    spec.features = {{kLiga, {1}}, {kKern, {7}}};
    const Bytes badIndex = BuildFont(BuildGpos(spec));
    EXPECT_EQ(XAdvance(*CreateOtfHeader(badIndex.data(), badIndex.size()), 10, 20), 0);
}

TEST(KerningGposTest, SubtablesOfTheLookupAddUp)
{
    GposSpec spec;
    spec.scripts = {{kLatn, true, {0}}};
    spec.features = {{kKern, {0}}};
    spec.lookups = {{2,
                     {PairPos1(0x0004, {{10, {{20, {-50}}}}}), PairPos1(0x0004, {{10, {{20, {-50}}, {21, {-3}}}}}),
                      // XAdvance and YPlacement together; XPlacement alone adjusts nothing.
                      PairPos1(0x0007, {{11, {{20, {9, 1, 2}}, {21, {9, 0, 0}}}}})}}};
    const Bytes font = BuildFont(BuildGpos(spec));
    const auto header = CreateOtfHeader(font.data(), font.size());
    EXPECT_EQ(XAdvance(*header, 10, 20), -100);
    EXPECT_EQ(XAdvance(*header, 10, 21), -3);
    ValueRecord v1, v2;
    ASSERT_TRUE(header->GetGposTable()->GetPairAdjustment(11, 20, v1, v2));
    EXPECT_EQ(v1, (ValueRecord{9, 1, 2, 0}));
    EXPECT_EQ(v2, ValueRecord{});
    EXPECT_FALSE(header->GetGposTable()->GetPairAdjustment(11, 21, v1, v2));
}

TEST(KerningGposTest, ClassPairsNeedTheFirstGlyphCovered)
{
    // Glyphs 30..32 are class 1 (first position); glyphs 40..45 class 1 and 46 class 2 (second).
    const Bytes sub = PairPos2(Coverage1({30, 31}), 30, {1, 1, 1}, {{{40, 45, 1}}, {{46, 46, 2}}}, 2, 3,
                               {0, 0, 0, /* class 1: */ 0, -40, -60});
    GposSpec spec;
    spec.scripts = {{kLatn, true, {0}}};
    spec.features = {{kKern, {0}}};
    spec.lookups = {{2, {sub}}};
    const Bytes font = BuildFont(BuildGpos(spec));
    const auto header = CreateOtfHeader(font.data(), font.size());
    ValueRecord v1, v2;
    ASSERT_TRUE(header->GetGposTable()->GetPairAdjustment(30, 41, v1, v2));
    EXPECT_EQ(v1, (ValueRecord{0, 0, -40, 0}));
    EXPECT_EQ(XAdvance(*header, 31, 46), -60);
    // Glyph 32 has class 1 but is not in the coverage.
    EXPECT_EQ(XAdvance(*header, 32, 41), 0);
    // Second glyph of class 0 has the zero record.
    EXPECT_EQ(XAdvance(*header, 30, 50), 0);
}

// A range coverage covers each range up to and including its last glyph: in a pair-list subtable
// the pair sets go to the covered glyphs in order (a set beyond them belongs to no glyph), and in
// a class subtable every glyph of each range is kerned.
TEST(KerningGposTest, RangeCoverageKernsTheLastGlyphOfEachRange)
{
    // Glyphs 10..12 are coverage indices 0..2, glyphs 20..21 indices 3..4; a sixth set is spare.
    const Bytes ranges = RangeTable({{{10, 12, 0}}, {{20, 21, 3}}});
    std::vector<std::pair<uint16_t, std::vector<Pair>>> sets;
    for (int16_t i = 1; i <= 6; ++i)
        sets.push_back({0, {{50, {int16_t(-i)}}}});
    const Bytes classRanges = RangeTable({{{30, 31, 0}}, {{35, 36, 2}}});
    const Bytes classes = PairPos2(classRanges, 30, {1, 1, 1, 1, 1, 1, 1, 1}, {{{50, 50, 1}}}, 2, 2, {0, 0, 0, -9});
    GposSpec spec;
    spec.scripts = {{kLatn, true, {0}}};
    spec.features = {{kKern, {0}}};
    spec.lookups = {{2, {PairPos1(0x0004, sets, &ranges), classes}}};
    const Bytes font = BuildFont(BuildGpos(spec));
    const auto header = CreateOtfHeader(font.data(), font.size());
    const std::vector<std::pair<uint16_t, int>> expected = {{9, 0},   {10, -1}, {11, -2}, {12, -3}, {13, 0},  {19, 0},
                                                            {20, -4}, {21, -5}, {22, 0},  {29, 0},  {30, -9}, {31, -9},
                                                            {32, 0},  {35, -9}, {36, -9}, {37, 0}};
    for (const auto& [first, advance] : expected)
        EXPECT_EQ(XAdvance(*header, first, 50), advance) << "glyph " << first;
}

TEST(KerningGposTest, ClassesBeyondTheCountsAdjustNothing)
{
    // Class definitions hand out class 5, beyond both counts.
    const Bytes sub = PairPos2(Coverage1({30}), 30, {5}, {{{40, 40, 5}}, {{41, 41, 1}}}, 1, 2, {-1, -2});
    GposSpec spec;
    spec.scripts = {{kLatn, true, {0}}};
    spec.features = {{kKern, {0}}};
    spec.lookups = {{2, {sub}}};
    const Bytes font = BuildFont(BuildGpos(spec));
    const auto header = CreateOtfHeader(font.data(), font.size());
    EXPECT_EQ(XAdvance(*header, 30, 40), 0);
    EXPECT_EQ(XAdvance(*header, 30, 41), 0);
}

TEST(KerningGposTest, DamagedFontsAreReadSafely)
{
    GposSpec spec;
    spec.scripts = {{kLatn, true, {0}}};
    spec.features = {{kKern, {0}}};
    spec.lookups = {{2,
                     {PairPos1(0x0004, {{10, {{20, {-50}}}}}),
                      PairPos2(Coverage1({10}), 10, {1}, {{{20, 20, 1}}}, 2, 2, {0, 0, 0, -4})}}};
    const Bytes font = BuildFont(BuildGpos(spec));
    EXPECT_EQ(XAdvance(*CreateOtfHeader(font.data(), font.size()), 10, 20), -54);
    ExpectTruncationsAreSafe(font, 10, 20);

    // A GPOS offset past the end of the file.
    Bytes farOffset = font;
    farOffset[36] = 0x7F;
    EXPECT_EQ(XAdvance(*CreateOtfHeader(farOffset.data(), farOffset.size()), 10, 20), 0);
    // A table count far larger than the records present.
    Bytes manyTables = font;
    manyTables[4] = 0xFF;
    EXPECT_EQ(XAdvance(*CreateOtfHeader(manyTables.data(), manyTables.size()), 10, 20), 0);
    EXPECT_EQ(CreateOtfHeader(nullptr, 0)->GetGposTable(), nullptr);
}

TEST(KerningGposTest, HugeClassTablesWithoutValuesAllocateNothing)
{
    // 65535 × 65535 records of value format 0 take no bytes: the table must not be sized by them.
    Bytes sub;
    U16(sub, 2);
    U16(sub, 16);
    U16(sub, 0);
    U16(sub, 0);
    U16(sub, 22);
    U16(sub, 22);
    U16(sub, 0xFFFF);
    U16(sub, 0xFFFF);
    Append(sub, Coverage1({10}));
    U16(sub, 2);
    U16(sub, 0);
    // And the same counts with a value format whose records would need 8 GB.
    Bytes big = sub;
    big[5] = 0x04;
    GposSpec spec;
    spec.scripts = {{kLatn, true, {0}}};
    spec.features = {{kKern, {0}}};
    spec.lookups = {{2, {sub, big, PairPos1(0x0004, {{10, {{20, {-8}}}}})}}};
    const Bytes font = BuildFont(BuildGpos(spec));
    const auto header = CreateOtfHeader(font.data(), font.size());
    // The damaged subtables adjust nothing; the sound one still counts.
    EXPECT_EQ(XAdvance(*header, 10, 20), -8);
    EXPECT_EQ(XAdvance(*header, 10, 10), 0);
}
