#include "d12/tin_writer.h"

#include <charconv>
#include <cmath>

namespace velmorak::d12 {
namespace {

constexpr std::size_t kLinesPerCommit = 4096;

void append_quoted(std::string& b, std::string_view text) {
    b.push_back('"');
    for (const char c : text) {
        if (c == '"' || c == '\\') b.push_back('\\');
        b.push_back(c);
    }
    b.push_back('"');
}

void append_number(std::string& b, double v) {
    if (std::isnan(v)) {
        b.append("null");
        return;
    }
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, v);
    b.append(text, static_cast<std::size_t>(r.ptr - text));
}

void append_index(std::string& b, std::uint32_t k) {
    char text[16];
    const auto r = std::to_chars(text, text + sizeof text, k + 1);
    b.append(text, static_cast<std::size_t>(r.ptr - text));
}

}  // namespace

bool append_tin(std::string& b, const Tin& tin, const std::function<bool()>& commit) {
    b.append("tin {\n  name ");
    append_quoted(b, tin.name);
    b.push_back('\n');
    if (!tin.attributes.empty()) {
        b.append("  attributes {\n");
        for (const StringAttribute& a : tin.attributes) {
            b.append(a.type == AttributeType::integer ? "    integer " : a.type == AttributeType::real ? "    real " : "    text ");
            append_quoted(b, a.name);
            b.push_back(' ');
            if (a.type == AttributeType::text)
                append_quoted(b, a.value);
            else
                b.append(a.value);
            b.push_back('\n');
        }
        b.append("  }\n");
    }
    if (!tin.colour.empty()) {
        b.append("  colour ");
        b.append(tin.colour);
        b.push_back('\n');
    }
    b.append("  points {\n");
    std::size_t lines = 0;
    for (const TinPoint& p : tin.points) {
        b.append("    ");
        append_number(b, p.x);
        b.push_back(' ');
        append_number(b, p.y);
        b.push_back(' ');
        append_number(b, p.z);
        b.push_back('\n');
        if (++lines % kLinesPerCommit == 0 && !commit()) return false;
    }
    b.append("  }\n  triangles {\n");
    for (std::size_t t = 0; t < tin.triangles.size(); ++t) {
        if (t < tin.invisible.size() && tin.invisible[t]) continue;
        const TinTriangle& k = tin.triangles[t];
        b.append("    ");
        append_index(b, k[0]);
        b.push_back(' ');
        append_index(b, k[1]);
        b.push_back(' ');
        append_index(b, k[2]);
        b.push_back('\n');
        if (++lines % kLinesPerCommit == 0 && !commit()) return false;
    }
    b.append("  }\n}\n\n");
    return commit();
}

}  // namespace velmorak::d12
