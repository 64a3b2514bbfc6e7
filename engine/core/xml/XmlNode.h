#pragma once
// The engine's XML element tree. Documents are parsed with TinyXML and copied at once into this
// tree of engine strings; the same tree is built in memory and written out by the engine's own
// writer (four spaces per level, no declaration, UTF-8).

#include "engine/core/strings/EngineString.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace QuillEngine {

class XmlNode {
public:
    using AttributeMap = std::map<String, String, std::less<>>;

    XmlNode() = default;
    explicit XmlNode(String name) : m_name(std::move(name)) {}
    ~XmlNode();
    XmlNode(const XmlNode&) = delete;
    XmlNode& operator=(const XmlNode&) = delete;

    // Parses a whole document into this node (its root element). NUL ends the text. With
    // `keepWhiteSpace`, the parser stops condensing white space in texts; that parser setting is
    // process-wide and stays off for every later parse. False on a parse error or elements nested
    // more than 512 deep (the node is then left cleared).
    bool Parse(std::string_view utf8, bool keepWhiteSpace);
    // A new document from text, or null on a parse error.
    static std::unique_ptr<XmlNode> ParseDocument(std::string_view utf8, bool keepWhiteSpace);
    // A new document from file bytes: FF FE marks UTF-16LE (converted; a last odd byte is ignored),
    // FE FF (UTF-16BE) is refused, anything else is UTF-8 or ASCII. Null when the bytes are 2 or
    // fewer, refused, or do not parse.
    static std::unique_ptr<XmlNode> ParseFileBytes(const uint8_t* data, size_t size, bool keepWhiteSpace);

    const String& GetName() const { return m_name; }
    void SetName(String name) { m_name = std::move(name); }
    const String& GetText() const { return m_text; }
    // Replaces the text; the node is no longer empty (even with an empty text).
    void SetText(String text);
    // Neither child elements nor text.
    bool IsEmpty() const { return m_isEmpty; }

    size_t GetChildCount() const { return m_children.size(); }
    XmlNode* GetChild(size_t index) const { return index < m_children.size() ? m_children[index].get() : nullptr; }
    const std::vector<std::unique_ptr<XmlNode>>& Children() const { return m_children; }
    // Takes ownership; index -1 (or past the end) appends. Returns the child.
    XmlNode* InsertChild(std::unique_ptr<XmlNode> child, int index = -1);
    // Appends a new child element of that name.
    XmlNode* AddChild(String name);

    // First child whose name matches ignoring case.
    XmlNode* FindChild(StringView name) const;
    // Follows '/'-separated names (exact case, first match at each step); "" is this node.
    XmlNode* FindPath(StringView path) const;
    String GetPathText(StringView path) const;
    // Every child named as the path's last piece, under the node reached by the pieces before it.
    void SelectNodes(StringView path, std::vector<XmlNode*>& out) const;
    void GetChildren(StringView path, std::vector<XmlNode*>& out) const { SelectNodes(path, out); }

    const AttributeMap& Attributes() const { return m_attributes; }
    bool HasAttribute(StringView name) const;
    bool GetAttribute(StringView name, String& value) const;
    String GetStringAttribute(StringView name, const String& def, bool* found = nullptr) const;
    // Automatic base: decimal, "0x" hexadecimal or leading-zero octal; 32-bit saturating.
    int32_t GetIntAttribute(StringView name, int32_t def, bool* found = nullptr) const;
    float GetFloatAttribute(StringView name, float def, bool* found = nullptr) const;
    // "true", "t", "yes", "y" and "1" (any case) are true; any other present value is false.
    bool GetBoolAttribute(StringView name, bool def, bool* found = nullptr) const;
    // Two decimal integers separated by exactly one character ("3,4", "3x4"); `def` when the value
    // is absent or malformed (`found` still reports presence).
    std::pair<int32_t, int32_t> GetIntPairAttribute(StringView name, std::pair<int32_t, int32_t> def,
                                                    bool* found = nullptr) const;
    void SetAttribute(const String& name, const String& value);
    void RemoveAttribute(StringView name);

    // Serialises the node and its subtree.
    String ToString() const;
    std::string ToUtf8String() const;
    void AppendUtf8(std::string& out, int depth) const;

    // Deletes the children (unless the node is a cached document) and the texts and attributes.
    void Clear();

    // Set by the document cache on the documents it owns.
    bool IsCached() const { return m_cached; }
    void SetCached(bool cached) { m_cached = cached; }
    const String& GetFileName() const { return m_fileName; }
    void SetFileName(String fileName) { m_fileName = std::move(fileName); }

private:
    std::vector<std::unique_ptr<XmlNode>> m_children;
    String m_name;
    String m_text;
    AttributeMap m_attributes;
    bool m_isEmpty = true;
    bool m_cached = false;
    String m_fileName;
};

} // namespace QuillEngine
