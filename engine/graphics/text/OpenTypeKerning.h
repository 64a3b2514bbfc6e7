#pragma once
// Pair kerning from the GPOS table of OpenType fonts with CFF outlines, which keep their kerning
// there rather than in a 'kern' table that FreeType reads. Only what Latin pair kerning needs is
// kept: one script (the first 'latn', else the first), its default language system, its first
// 'kern' feature, that feature's first lookup, and pair-adjustment subtables of both formats.
//
// Every offset and count read from the font is checked against the font's bytes; a table that
// does not fit fails its parse and the font simply kerns nothing.

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace QuillEngine {

struct ValueRecord {
    int16_t xPlacement = 0;
    int16_t yPlacement = 0;
    int16_t xAdvance = 0;
    int16_t yAdvance = 0;

    bool operator==(const ValueRecord&) const = default;
};

// Big-endian reads over a font buffer it does not own. A read past the end returns 0 and marks
// the reader failed; it stays failed.
class OtfReader {
public:
    OtfReader(const uint8_t* data, size_t size, size_t position = 0)
        : data_(data), size_(size), position_(position), failed_(position > size)
    {
    }

    uint16_t ReadU16();
    uint32_t ReadU32();
    int16_t ReadS16() { return static_cast<int16_t>(ReadU16()); }
    // A reader at `base + offset` (of the same buffer); failed when that lies outside it.
    OtfReader At(size_t base, size_t offset) const;
    // True when `count` more items of `itemSize` bytes remain.
    bool Has(size_t count, size_t itemSize) const;
    void Skip(size_t bytes);

    size_t Position() const { return position_; }
    bool Failed() const { return failed_; }
    void Fail() { failed_ = true; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_;
    bool failed_;
};

// Limits the work a hostile font can ask of the parser: every record, glyph and range read
// counts against one budget per font.
struct OtfParseBudget {
    static constexpr size_t kDefault = 4u << 20;
    size_t remaining = kDefault;
    bool Take(size_t items)
    {
        if (items > remaining)
            return false;
        remaining -= items;
        return true;
    }
};

struct SOtfLookupList {
    class ICoverageTable {
    public:
        virtual ~ICoverageTable() = default;
        virtual bool Parse(OtfReader& reader, OtfParseBudget& budget) = 0;
        virtual uint32_t GetCount() const = 0;
        // False when `coverageIndex` names no glyph.
        virtual bool GlyphAt(uint32_t coverageIndex, uint16_t& glyph) const = 0;
        virtual bool Contains(uint16_t glyph) const = 0;
    };
    class CCoverageTableFormat1 final : public ICoverageTable {
    public:
        bool Parse(OtfReader& reader, OtfParseBudget& budget) override;
        uint32_t GetCount() const override { return static_cast<uint32_t>(glyphs_.size()); }
        bool GlyphAt(uint32_t coverageIndex, uint16_t& glyph) const override;
        bool Contains(uint16_t glyph) const override;

    private:
        std::vector<uint16_t> glyphs_;
    };
    class CCoverageTableFormat2 final : public ICoverageTable {
    public:
        struct Range {
            uint16_t start, end, startCoverageIndex;
        };
        bool Parse(OtfReader& reader, OtfParseBudget& budget) override;
        uint32_t GetCount() const override;
        bool GlyphAt(uint32_t coverageIndex, uint16_t& glyph) const override;
        bool Contains(uint16_t glyph) const override;

    private:
        std::vector<Range> ranges_;
    };

    class IClassDefTable {
    public:
        virtual ~IClassDefTable() = default;
        virtual bool Parse(OtfReader& reader, OtfParseBudget& budget) = 0;
        virtual uint16_t GetClass(uint16_t glyph) const = 0;
    };
    class CClassDefTableFormat1 final : public IClassDefTable {
    public:
        bool Parse(OtfReader& reader, OtfParseBudget& budget) override;
        uint16_t GetClass(uint16_t glyph) const override;

    private:
        uint16_t startGlyph_ = 0;
        std::vector<uint16_t> classes_;
    };
    class CClassDefTableFormat2 final : public IClassDefTable {
    public:
        struct Range {
            uint16_t start, end, cls;
        };
        bool Parse(OtfReader& reader, OtfParseBudget& budget) override;
        uint16_t GetClass(uint16_t glyph) const override;

    private:
        std::vector<Range> ranges_;
    };

    class ISubTable {
    public:
        virtual ~ISubTable() = default;
        // `reader` stands at the subtable's first byte.
        virtual bool Parse(OtfReader& reader, OtfParseBudget& budget) = 0;
    };
    class IPairPosSubTable : public ISubTable {
    public:
        // False when the subtable does not adjust the pair.
        virtual bool GetPairValues(uint16_t first, uint16_t second, ValueRecord& value1,
                                   ValueRecord& value2) const = 0;
    };
    class CPairPosSubTableFormat1 final : public IPairPosSubTable {
    public:
        bool Parse(OtfReader& reader, OtfParseBudget& budget) override;
        bool GetPairValues(uint16_t first, uint16_t second, ValueRecord& value1, ValueRecord& value2) const override;

    private:
        std::unique_ptr<ICoverageTable> coverage_;
        uint16_t valueFormat1_ = 0, valueFormat2_ = 0;
        std::map<uint16_t, std::map<uint16_t, std::pair<ValueRecord, ValueRecord>>> pairs_;
    };
    class CPairPosSubTableFormat2 final : public IPairPosSubTable {
    public:
        bool Parse(OtfReader& reader, OtfParseBudget& budget) override;
        bool GetPairValues(uint16_t first, uint16_t second, ValueRecord& value1, ValueRecord& value2) const override;

    private:
        std::unique_ptr<ICoverageTable> coverage_;
        std::unique_ptr<IClassDefTable> classDef1_, classDef2_;
        uint16_t valueFormat1_ = 0, valueFormat2_ = 0;
        uint16_t class1Count_ = 0, class2Count_ = 0;
        // class1Count × class2Count pairs, row by row; empty when the value formats hold nothing.
        std::vector<std::pair<ValueRecord, ValueRecord>> records_;
    };

    struct Lookup {
        uint16_t type = 0;
        uint16_t flag = 0;
        std::vector<uint16_t> subTableOffsets; // from the lookup
        std::vector<uint16_t> subTableFormats;
        // Pair-adjustment subtables of a type 2 lookup; one subtable offset listed twice shares
        // one parsed object (and, as listed, counts twice).
        std::vector<std::shared_ptr<IPairPosSubTable>> subTables;
        size_t offset = 0; // absolute, in the font
    };
    std::vector<Lookup> lookups;
};

class IOtfGposTable {
public:
    virtual ~IOtfGposTable() = default;
    // The adjustment of the glyph pair summed over the kerning lookup's subtables; false when
    // none adjusts it.
    virtual bool GetPairAdjustment(uint16_t first, uint16_t second, ValueRecord& value1,
                                   ValueRecord& value2) const = 0;
};

struct OtfLangSys {
    uint16_t lookupOrder = 0;
    uint16_t requiredFeature = 0xFFFF;
    std::vector<uint16_t> featureIndices;
};
struct OtfScript {
    uint32_t tag = 0;
    bool hasDefault = false;
    OtfLangSys defaultLangSys;
    std::vector<std::pair<uint32_t, OtfLangSys>> langSystems;
};
struct OtfFeature {
    uint32_t tag = 0;
    std::vector<uint16_t> lookupIndices;
};

class COtfGpos final : public IOtfGposTable {
public:
    using LangSys = OtfLangSys;
    using Script = OtfScript;
    using Feature = OtfFeature;

    // `reader` stands at the GPOS table's first byte. False when something does not fit.
    bool Parse(OtfReader reader, OtfParseBudget& budget);
    bool GetPairAdjustment(uint16_t first, uint16_t second, ValueRecord& value1,
                           ValueRecord& value2) const override;

    bool HasKerningLookup() const { return kerning_ != nullptr; }
    const std::vector<Script>& Scripts() const { return scripts_; }

private:
    bool ParseScripts(OtfReader reader);
    bool ParseFeatures(OtfReader reader);
    bool ParseLookups(OtfReader reader);
    void ChooseKerningLookup(const OtfReader& font, OtfParseBudget& budget);

    std::vector<Script> scripts_;
    std::vector<Feature> features_;
    SOtfLookupList lookupList_;
    const SOtfLookupList::Lookup* kerning_ = nullptr;
};

class IOtfFont {
public:
    virtual ~IOtfFont() = default;
    // Null when the font has no usable GPOS table.
    virtual const IOtfGposTable* GetGposTable() const = 0;
};

class COtfHeader final : public IOtfFont {
public:
    struct TableRecord {
        uint32_t tag, checksum, offset, length;
    };

    bool Parse(const uint8_t* data, size_t size);
    const IOtfGposTable* GetGposTable() const override { return gpos_.get(); }

    uint32_t sfntVersion = 0;
    uint16_t tableCount = 0, searchRange = 0, entrySelector = 0, rangeShift = 0;
    std::vector<TableRecord> tables;

private:
    std::unique_ptr<COtfGpos> gpos_;
};

// Parses the font bytes; the result keeps no pointer into them. The
// header is returned even when parsing fails; it then kerns nothing.
std::unique_ptr<IOtfFont> CreateOtfHeader(const uint8_t* data, size_t size);

// The GPOS kerning of a face: made once per face from the bytes the face was opened from, for an
// outline face that has neither FreeType kerning nor fixed-width glyphs, and released with the
// face. Null when the face has none.
const IOtfGposTable* GetFaceGpos(FT_Face face);

// 'OTTO'
constexpr uint32_t kOtfCffVersion = 0x4F54544F;
constexpr uint32_t OtfTag(char a, char b, char c, char d)
{
    return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) | (uint32_t(uint8_t(c)) << 8) | uint8_t(d);
}

} // namespace QuillEngine
