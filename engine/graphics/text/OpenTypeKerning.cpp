#include "engine/graphics/text/OpenTypeKerning.h"

#include <bit>
#include FT_SYSTEM_H

namespace QuillEngine {

// ---------------------------------------------------------------------------------------------
// OtfReader

uint16_t OtfReader::ReadU16()
{
    if (failed_ || size_ - position_ < 2) {
        failed_ = true;
        return 0;
    }
    const uint16_t v = static_cast<uint16_t>((data_[position_] << 8) | data_[position_ + 1]);
    position_ += 2;
    return v;
}

uint32_t OtfReader::ReadU32()
{
    const uint32_t high = ReadU16();
    const uint32_t low = ReadU16();
    return failed_ ? 0 : (high << 16) | low;
}

OtfReader OtfReader::At(size_t base, size_t offset) const
{
    OtfReader r(data_, size_, 0);
    if (failed_ || base > size_ || offset > size_ - base)
        r.failed_ = true;
    else
        r.position_ = base + offset;
    return r;
}

bool OtfReader::Has(size_t count, size_t itemSize) const
{
    if (failed_)
        return false;
    const size_t remaining = size_ - position_;
    return itemSize == 0 || count <= remaining / itemSize;
}

void OtfReader::Skip(size_t bytes)
{
    if (failed_ || bytes > size_ - position_)
        failed_ = true;
    else
        position_ += bytes;
}

namespace {

size_t ValueRecordSize(uint16_t format)
{
    return static_cast<size_t>(std::popcount(static_cast<unsigned>(format & 0xFF))) * 2;
}

ValueRecord ReadValueRecord(OtfReader& reader, uint16_t format)
{
    ValueRecord v;
    if (format & 0x01)
        v.xPlacement = reader.ReadS16();
    if (format & 0x02)
        v.yPlacement = reader.ReadS16();
    if (format & 0x04)
        v.xAdvance = reader.ReadS16();
    if (format & 0x08)
        v.yAdvance = reader.ReadS16();
    // Device-table offsets: present, but not used for kerning.
    for (uint16_t bit = 0x10; bit <= 0x80; bit <<= 1)
        if (format & bit)
            reader.ReadU16();
    return v;
}

// A pair record adjusts nothing when both value records leave the y placement and both
// advances at 0.
bool Adjusts(const ValueRecord& v1, const ValueRecord& v2)
{
    return v1.yPlacement != 0 || v1.xAdvance != 0 || v1.yAdvance != 0 || v2.yPlacement != 0 || v2.xAdvance != 0 ||
           v2.yAdvance != 0;
}

// Coverage and class-definition tables come in formats 1 and 2, told apart by their first word.
template <class Table, class Format1, class Format2>
std::unique_ptr<Table> ParseFormat1Or2(OtfReader reader, OtfParseBudget& budget)
{
    OtfReader peek = reader;
    std::unique_ptr<Table> table;
    switch (peek.ReadU16()) {
    case 1:
        table = std::make_unique<Format1>();
        break;
    case 2:
        table = std::make_unique<Format2>();
        break;
    default:
        return nullptr;
    }
    if (!table->Parse(reader, budget))
        return nullptr;
    return table;
}

std::unique_ptr<SOtfLookupList::ICoverageTable> ParseCoverage(OtfReader reader, OtfParseBudget& budget)
{
    return ParseFormat1Or2<SOtfLookupList::ICoverageTable, SOtfLookupList::CCoverageTableFormat1,
                           SOtfLookupList::CCoverageTableFormat2>(reader, budget);
}

std::unique_ptr<SOtfLookupList::IClassDefTable> ParseClassDef(OtfReader reader, OtfParseBudget& budget)
{
    return ParseFormat1Or2<SOtfLookupList::IClassDefTable, SOtfLookupList::CClassDefTableFormat1,
                           SOtfLookupList::CClassDefTableFormat2>(reader, budget);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Coverage and class definitions

bool SOtfLookupList::CCoverageTableFormat1::Parse(OtfReader& reader, OtfParseBudget& budget)
{
    reader.ReadU16(); // format
    const uint16_t count = reader.ReadU16();
    if (!reader.Has(count, 2) || !budget.Take(count))
        return false;
    glyphs_.resize(count);
    for (uint16_t& g : glyphs_)
        g = reader.ReadU16();
    return !reader.Failed();
}

bool SOtfLookupList::CCoverageTableFormat1::GlyphAt(uint32_t coverageIndex, uint16_t& glyph) const
{
    if (coverageIndex >= glyphs_.size())
        return false;
    glyph = glyphs_[coverageIndex];
    return true;
}

bool SOtfLookupList::CCoverageTableFormat1::Contains(uint16_t glyph) const
{
    for (uint16_t g : glyphs_)
        if (g == glyph)
            return true;
    return false;
}

namespace {

// The range records of a format-2 coverage or class table: a count, then (start, end, value)
// triples; the value field is the record's third member whatever its name.
template <class Range>
bool ReadRangeRecords(OtfReader& reader, OtfParseBudget& budget, std::vector<Range>& ranges)
{
    reader.ReadU16(); // format
    const uint16_t count = reader.ReadU16();
    if (!reader.Has(count, 6) || !budget.Take(count))
        return false;
    ranges.resize(count);
    for (Range& r : ranges) {
        const uint16_t start = reader.ReadU16();
        const uint16_t end = reader.ReadU16();
        const uint16_t value = reader.ReadU16();
        r = Range{start, end, value};
    }
    return !reader.Failed();
}

} // namespace

bool SOtfLookupList::CCoverageTableFormat2::Parse(OtfReader& reader, OtfParseBudget& budget)
{
    return ReadRangeRecords(reader, budget, ranges_);
}

uint32_t SOtfLookupList::CCoverageTableFormat2::GetCount() const
{
    uint32_t count = 0;
    for (const Range& r : ranges_)
        if (r.end >= r.start)
            count += uint32_t(r.end) - r.start + 1;
    return count;
}

bool SOtfLookupList::CCoverageTableFormat2::GlyphAt(uint32_t coverageIndex, uint16_t& glyph) const
{
    for (size_t i = 0; i < ranges_.size(); ++i) {
        const Range& r = ranges_[i];
        const bool last = i + 1 == ranges_.size();
        if (coverageIndex < r.startCoverageIndex || (!last && coverageIndex >= ranges_[i + 1].startCoverageIndex))
            continue;
        // An index past its range's end names no glyph of the range.
        const uint32_t g = uint32_t(r.start) + (coverageIndex - r.startCoverageIndex);
        if (g > r.end)
            return false;
        glyph = static_cast<uint16_t>(g);
        return true;
    }
    return false;
}

bool SOtfLookupList::CCoverageTableFormat2::Contains(uint16_t glyph) const
{
    for (const Range& r : ranges_)
        if (r.start <= glyph && glyph <= r.end)
            return true;
    return false;
}

bool SOtfLookupList::CClassDefTableFormat1::Parse(OtfReader& reader, OtfParseBudget& budget)
{
    reader.ReadU16(); // format
    startGlyph_ = reader.ReadU16();
    const uint16_t count = reader.ReadU16();
    if (!reader.Has(count, 2) || !budget.Take(count))
        return false;
    classes_.resize(count);
    for (uint16_t& c : classes_)
        c = reader.ReadU16();
    return !reader.Failed();
}

uint16_t SOtfLookupList::CClassDefTableFormat1::GetClass(uint16_t glyph) const
{
    if (glyph < startGlyph_ || size_t(glyph - startGlyph_) >= classes_.size())
        return 0;
    return classes_[glyph - startGlyph_];
}

bool SOtfLookupList::CClassDefTableFormat2::Parse(OtfReader& reader, OtfParseBudget& budget)
{
    return ReadRangeRecords(reader, budget, ranges_);
}

uint16_t SOtfLookupList::CClassDefTableFormat2::GetClass(uint16_t glyph) const
{
    for (const Range& r : ranges_)
        if (r.start <= glyph && glyph <= r.end)
            return r.cls;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Pair-adjustment subtables

bool SOtfLookupList::CPairPosSubTableFormat1::Parse(OtfReader& reader, OtfParseBudget& budget)
{
    const size_t start = reader.Position();
    reader.ReadU16(); // format
    const uint16_t coverageOffset = reader.ReadU16();
    valueFormat1_ = reader.ReadU16();
    valueFormat2_ = reader.ReadU16();
    const uint16_t pairSetCount = reader.ReadU16();
    if (!reader.Has(pairSetCount, 2))
        return false;
    coverage_ = ParseCoverage(reader.At(start, coverageOffset), budget);
    if (!coverage_)
        return false;
    const size_t recordSize = 2 + ValueRecordSize(valueFormat1_) + ValueRecordSize(valueFormat2_);
    for (uint16_t i = 0; i < pairSetCount; ++i) {
        const uint16_t pairSetOffset = reader.ReadU16();
        uint16_t first = 0;
        if (!coverage_->GlyphAt(i, first))
            continue;
        OtfReader set = reader.At(start, pairSetOffset);
        const uint16_t count = set.ReadU16();
        if (!set.Has(count, recordSize) || !budget.Take(count))
            return false;
        auto& seconds = pairs_[first];
        for (uint16_t k = 0; k < count; ++k) {
            const uint16_t second = set.ReadU16();
            const ValueRecord v1 = ReadValueRecord(set, valueFormat1_);
            const ValueRecord v2 = ReadValueRecord(set, valueFormat2_);
            seconds.emplace(second, std::make_pair(v1, v2));
        }
        if (set.Failed())
            return false;
    }
    return !reader.Failed();
}

bool SOtfLookupList::CPairPosSubTableFormat1::GetPairValues(uint16_t first, uint16_t second, ValueRecord& value1,
                                                            ValueRecord& value2) const
{
    const auto a = pairs_.find(first);
    if (a == pairs_.end())
        return false;
    const auto b = a->second.find(second);
    if (b == a->second.end() || !Adjusts(b->second.first, b->second.second))
        return false;
    value1 = b->second.first;
    value2 = b->second.second;
    return true;
}

bool SOtfLookupList::CPairPosSubTableFormat2::Parse(OtfReader& reader, OtfParseBudget& budget)
{
    const size_t start = reader.Position();
    reader.ReadU16(); // format
    const uint16_t coverageOffset = reader.ReadU16();
    valueFormat1_ = reader.ReadU16();
    valueFormat2_ = reader.ReadU16();
    const uint16_t classDef1Offset = reader.ReadU16();
    const uint16_t classDef2Offset = reader.ReadU16();
    class1Count_ = reader.ReadU16();
    class2Count_ = reader.ReadU16();
    if (reader.Failed())
        return false;
    coverage_ = ParseCoverage(reader.At(start, coverageOffset), budget);
    classDef1_ = ParseClassDef(reader.At(start, classDef1Offset), budget);
    classDef2_ = ParseClassDef(reader.At(start, classDef2Offset), budget);
    if (!coverage_ || !classDef1_ || !classDef2_)
        return false;
    const size_t recordSize = ValueRecordSize(valueFormat1_) + ValueRecordSize(valueFormat2_);
    // Records without values take no bytes and adjust nothing: nothing to keep.
    if (recordSize == 0)
        return true;
    const size_t count = size_t(class1Count_) * class2Count_;
    if (!reader.Has(count, recordSize) || !budget.Take(count))
        return false;
    records_.resize(count);
    for (auto& record : records_) {
        record.first = ReadValueRecord(reader, valueFormat1_);
        record.second = ReadValueRecord(reader, valueFormat2_);
    }
    return !reader.Failed();
}

bool SOtfLookupList::CPairPosSubTableFormat2::GetPairValues(uint16_t first, uint16_t second, ValueRecord& value1,
                                                            ValueRecord& value2) const
{
    if (records_.empty() || !coverage_->Contains(first))
        return false;
    const uint16_t c1 = classDef1_->GetClass(first);
    const uint16_t c2 = classDef2_->GetClass(second);
    if (c1 >= class1Count_ || c2 >= class2Count_)
        return false;
    const auto& record = records_[size_t(c1) * class2Count_ + c2];
    if (!Adjusts(record.first, record.second))
        return false;
    value1 = record.first;
    value2 = record.second;
    return true;
}

// ---------------------------------------------------------------------------------------------
// GPOS

namespace {

bool ParseLangSys(OtfReader reader, COtfGpos::LangSys& out, OtfParseBudget& budget)
{
    out.lookupOrder = reader.ReadU16();
    out.requiredFeature = reader.ReadU16();
    const uint16_t count = reader.ReadU16();
    if (!reader.Has(count, 2) || !budget.Take(count))
        return false;
    out.featureIndices.resize(count);
    for (uint16_t& index : out.featureIndices)
        index = reader.ReadU16();
    return !reader.Failed();
}

} // namespace

bool COtfGpos::Parse(OtfReader reader, OtfParseBudget& budget)
{
    const size_t start = reader.Position();
    reader.ReadU32(); // version
    const uint16_t scriptList = reader.ReadU16();
    const uint16_t featureList = reader.ReadU16();
    const uint16_t lookupList = reader.ReadU16();
    if (reader.Failed())
        return false;
    // Scripts and features are small; only the chosen lookup's subtables are read in full.
    OtfReader scripts = reader.At(start, scriptList);
    const uint16_t scriptCount = scripts.ReadU16();
    if (!scripts.Has(scriptCount, 6) || !budget.Take(scriptCount))
        return false;
    const size_t scriptsStart = scripts.Position() - 2;
    scripts_.resize(scriptCount);
    for (Script& s : scripts_) {
        s.tag = scripts.ReadU32();
        OtfReader script = scripts.At(scriptsStart, scripts.ReadU16());
        const size_t scriptStart = script.Position();
        const uint16_t defaultOffset = script.ReadU16();
        const uint16_t langSysCount = script.ReadU16();
        if (!script.Has(langSysCount, 6) || !budget.Take(langSysCount))
            return false;
        if (defaultOffset != 0) {
            if (!ParseLangSys(script.At(scriptStart, defaultOffset), s.defaultLangSys, budget))
                return false;
            s.hasDefault = true;
        }
        s.langSystems.resize(langSysCount);
        for (auto& [tag, langSys] : s.langSystems) {
            tag = script.ReadU32();
            if (!ParseLangSys(script.At(scriptStart, script.ReadU16()), langSys, budget))
                return false;
        }
    }

    OtfReader features = reader.At(start, featureList);
    const uint16_t featureCount = features.ReadU16();
    if (!features.Has(featureCount, 6) || !budget.Take(featureCount))
        return false;
    const size_t featuresStart = features.Position() - 2;
    features_.resize(featureCount);
    for (Feature& f : features_) {
        f.tag = features.ReadU32();
        OtfReader feature = features.At(featuresStart, features.ReadU16());
        feature.ReadU16(); // feature parameters
        const uint16_t count = feature.ReadU16();
        if (!feature.Has(count, 2) || !budget.Take(count))
            return false;
        f.lookupIndices.resize(count);
        for (uint16_t& index : f.lookupIndices)
            index = feature.ReadU16();
        if (feature.Failed())
            return false;
    }

    OtfReader lookups = reader.At(start, lookupList);
    const size_t lookupsStart = lookups.Position();
    const uint16_t lookupCount = lookups.ReadU16();
    if (!lookups.Has(lookupCount, 2) || !budget.Take(lookupCount))
        return false;
    lookupList_.lookups.resize(lookupCount);
    for (SOtfLookupList::Lookup& l : lookupList_.lookups) {
        OtfReader lookup = lookups.At(lookupsStart, lookups.ReadU16());
        l.offset = lookup.Position();
        l.type = lookup.ReadU16();
        l.flag = lookup.ReadU16();
        const uint16_t count = lookup.ReadU16();
        if (!lookup.Has(count, 2) || !budget.Take(count))
            return false;
        l.subTableOffsets.resize(count);
        l.subTableFormats.resize(count);
        for (size_t i = 0; i < count; ++i) {
            l.subTableOffsets[i] = lookup.ReadU16();
            l.subTableFormats[i] = lookup.At(l.offset, l.subTableOffsets[i]).ReadU16();
        }
        if (lookup.Failed() || scripts.Failed() || features.Failed() || lookups.Failed())
            return false;
    }
    ChooseKerningLookup(reader, budget);
    return true;
}

void COtfGpos::ChooseKerningLookup(const OtfReader& font, OtfParseBudget& budget)
{
    kerning_ = nullptr;
    if (scripts_.empty())
        return;
    const Script* script = &scripts_.front();
    for (const Script& s : scripts_) {
        if (s.tag == OtfTag('l', 'a', 't', 'n')) {
            script = &s;
            break;
        }
    }
    if (!script->hasDefault)
        return;
    const Feature* kern = nullptr;
    for (uint16_t index : script->defaultLangSys.featureIndices) {
        if (index < features_.size() && features_[index].tag == OtfTag('k', 'e', 'r', 'n')) {
            kern = &features_[index];
            break;
        }
    }
    if (!kern || kern->lookupIndices.empty() || kern->lookupIndices.front() >= lookupList_.lookups.size())
        return;
    SOtfLookupList::Lookup& lookup = lookupList_.lookups[kern->lookupIndices.front()];
    if (lookup.type == 2) {
        std::map<uint16_t, std::shared_ptr<SOtfLookupList::IPairPosSubTable>> parsed;
        for (size_t i = 0; i < lookup.subTableOffsets.size(); ++i) {
            const uint16_t offset = lookup.subTableOffsets[i];
            auto known = parsed.find(offset);
            if (known == parsed.end()) {
                std::shared_ptr<SOtfLookupList::IPairPosSubTable> table;
                if (lookup.subTableFormats[i] == 1)
                    table = std::make_shared<SOtfLookupList::CPairPosSubTableFormat1>();
                else if (lookup.subTableFormats[i] == 2)
                    table = std::make_shared<SOtfLookupList::CPairPosSubTableFormat2>();
                OtfReader at = font.At(lookup.offset, offset);
                // A subtable that does not parse adjusts nothing; the others still count.
                if (table && !table->Parse(at, budget))
                    table.reset();
                known = parsed.emplace(offset, std::move(table)).first;
            }
            if (known->second)
                lookup.subTables.push_back(known->second);
        }
    }
    kerning_ = &lookup;
}

bool COtfGpos::GetPairAdjustment(uint16_t first, uint16_t second, ValueRecord& value1, ValueRecord& value2) const
{
    if (!kerning_ || kerning_->type != 2 || kerning_->subTables.empty())
        return false;
    ValueRecord sum1, sum2;
    bool found = false;
    auto add = [](ValueRecord& sum, const ValueRecord& v) {
        sum.xPlacement = static_cast<int16_t>(sum.xPlacement + v.xPlacement);
        sum.yPlacement = static_cast<int16_t>(sum.yPlacement + v.yPlacement);
        sum.xAdvance = static_cast<int16_t>(sum.xAdvance + v.xAdvance);
        sum.yAdvance = static_cast<int16_t>(sum.yAdvance + v.yAdvance);
    };
    for (const auto& table : kerning_->subTables) {
        ValueRecord v1, v2;
        if (!table->GetPairValues(first, second, v1, v2))
            continue;
        add(sum1, v1);
        add(sum2, v2);
        found = true;
    }
    if (found) {
        value1 = sum1;
        value2 = sum2;
    }
    return found;
}

// ---------------------------------------------------------------------------------------------
// Font header

bool COtfHeader::Parse(const uint8_t* data, size_t size)
{
    gpos_.reset();
    tables.clear();
    if (!data)
        return false;
    OtfReader reader(data, size);
    sfntVersion = reader.ReadU32();
    if (reader.Failed() || sfntVersion != kOtfCffVersion)
        return false;
    tableCount = reader.ReadU16();
    searchRange = reader.ReadU16();
    entrySelector = reader.ReadU16();
    rangeShift = reader.ReadU16();
    if (!reader.Has(tableCount, 16))
        return false;
    tables.resize(tableCount);
    OtfParseBudget budget;
    bool ok = true;
    for (TableRecord& t : tables) {
        t.tag = reader.ReadU32();
        t.checksum = reader.ReadU32();
        t.offset = reader.ReadU32();
        t.length = reader.ReadU32();
        if (t.tag != OtfTag('G', 'P', 'O', 'S'))
            continue;
        auto gpos = std::make_unique<COtfGpos>();
        if (gpos->Parse(reader.At(0, t.offset), budget))
            gpos_ = std::move(gpos);
        else
            ok = false;
    }
    return ok && !reader.Failed();
}

std::unique_ptr<IOtfFont> CreateOtfHeader(const uint8_t* data, size_t size)
{
    auto header = std::make_unique<COtfHeader>();
    header->Parse(data, size);
    return header;
}

// ---------------------------------------------------------------------------------------------
// Per-face kerning

namespace {

struct FaceKerning {
    std::unique_ptr<IOtfFont> font;
};

// FreeType calls this with the face when the face is done.
void ReleaseFaceKerning(void* object)
{
    auto face = static_cast<FT_Face>(object);
    delete static_cast<FaceKerning*>(face->generic.data);
    face->generic.data = nullptr;
    face->generic.finalizer = nullptr;
}

} // namespace

const IOtfGposTable* GetFaceGpos(FT_Face face)
{
    if (!face)
        return nullptr;
    if (face->generic.finalizer == &ReleaseFaceKerning) {
        const auto* kerning = static_cast<const FaceKerning*>(face->generic.data);
        return kerning && kerning->font ? kerning->font->GetGposTable() : nullptr;
    }
    // The face's client slot belongs to someone else: leave it be.
    if (face->generic.data || face->generic.finalizer)
        return nullptr;
    auto* kerning = new FaceKerning;
    const FT_Stream stream = face->stream;
    if (!FT_HAS_KERNING(face) && !FT_IS_FIXED_WIDTH(face) && FT_IS_SFNT(face) && stream && stream->base &&
        stream->size > 0)
        kerning->font = CreateOtfHeader(stream->base, stream->size);
    // Remembered even when empty, so that the face is looked at only once.
    face->generic.data = kerning;
    face->generic.finalizer = &ReleaseFaceKerning;
    return kerning->font ? kerning->font->GetGposTable() : nullptr;
}

} // namespace QuillEngine
