#pragma once
// What a 12d string says of itself besides its name, type and vertices: its
// colour, style, breakline and chainage lines, and the values of its
// "attributes" block. The conversions have no use for them; the GDAL driver
// makes them a feature's fields. A walk collects them when it is given a
// StringDetails (StringWalk::collect_details): the reader then shows it every
// line of a string outside its data blocks.
//
// Only the string's own level counts, as for its name: the attributes of a
// pit, of a vertex (vertex_attribute_data) or of a TIN are not the string's.
// An attributes block holds typed values, «text "Owner" "Coliban Water"»,
// «integer "Valves" 3», «real "Diameter" 0.15», «uid "string id" 48213», and
// groups, «group { name "Asset" attributes { ... } }», whose values are named
// "Asset/Owner". Values may stand one per line or several on one line, as
// one-line blocks have them; quoted texts read as line_lexer.h reads them.
//
// The keywords of its arcs (string_arcs.h) are collected too: an arc or
// circle string's centre, start, end and radius, wherever they stand on its
// own lines, and the values of its radius_data, major_data and geometry_data
// blocks at its own level (an alignment's geometry, nested deeper, is not).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "d12/string_arcs.h"

namespace velmorak::d12 {

enum class AttributeType { text, integer, real };

struct StringAttribute {
    std::string name;  // "group/attribute" inside groups
    AttributeType type = AttributeType::text;
    std::string value;  // a text without its quotes and escapes, a number as written
};

class StringDetails {
public:
    // A damaged file (an attributes block whose closing brace is missing) must
    // not fill memory: values past this many in one string are dropped, and
    // blocks nested deeper than kMaxDepth are only counted.
    static constexpr std::size_t kMaxAttributes = 10000;
    static constexpr std::size_t kMaxDepth = 64;

    std::string colour;
    std::string style;
    std::string breakline;
    bool has_chainage = false;
    double chainage = 0.0;
    // The first `count` entries are this string's; the rest keep their capacity for the next.
    std::vector<StringAttribute> attributes;
    std::size_t count = 0;
    StringArcs arcs;

    // Forgets the last string (the reader calls it at each string header).
    void clear();
    // One line of the string outside its data blocks, without its comment;
    // `level` is the brace level before it (1 at the string's own level).
    void line(std::string_view whole, int level);

private:
    enum class Frame { attributes, group, other };
    // A block of arcs being read: its kind and the braces open in it.
    enum class ArcBlock { none, radius, major, geometry };
    void own_level_line(std::string_view whole);
    void arc_keywords(std::string_view rest);
    void arc_block_line(std::string_view text);
    void arc_token(std::string_view token);
    void token(std::string_view token, bool quoted);
    StringAttribute& add();
    std::string path(std::string_view name) const;

    // Inside the string's attributes block: the blocks open in it.
    std::vector<Frame> frames_;
    std::size_t deeper_ = 0;  // blocks open below the deepest frame kept
    std::vector<std::string> groups_;  // the names of the groups open, outermost first
    // A value being read: its type word and name seen so far.
    int pending_ = 0;  // 0 none, 1 type seen, 2 name seen
    bool expect_group_name_ = false;
    AttributeType pending_type_ = AttributeType::text;
    std::string pending_name_;
    std::string scratch_;
    ArcBlock arc_block_ = ArcBlock::none;
    int arc_depth_ = 0;
    // In a geometry_data element: its radius and major flag so far, and the word before a value.
    double element_radius_ = 0.0;
    unsigned char element_major_ = 0;
    int element_value_ = 0;  // 1 radius, 2 major follows

};

}  // namespace velmorak::d12
