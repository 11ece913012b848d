#include "mif2d12/d12_writer.h"

#include <charconv>
#include <cmath>
#include <string>
#include <utility>

#include "services/runtime.h"
#include "services/units.h"
#include "util/fixed.h"
#include "util/fixed_text.h"

namespace velmorak::mif2d12 {
namespace {

// The fields of a data line: X and Y with 5 decimals in 16 columns, Z with 4 in 12.
struct Field {
    int width;
    int decimals;
};
constexpr Field kXY{16, 5};
constexpr Field kZ{12, 4};

// A text in double quotes. The package reads \" as a quote and \\ as a
// backslash inside a quoted text; a quote written alone would end the text
// there. A line end inside it would end the line, so it becomes a blank.
void append_quoted(std::string& b, std::string_view text) {
    b.push_back('"');
    for (const char c : text) {
        if (c == '"' || c == '\\') b.push_back('\\');
        b.push_back(c == '\n' || c == '\r' ? ' ' : c);
    }
    b.push_back('"');
}

void open_block(io::OutputFile& out, std::string_view keyword, std::string_view name) {
    std::string& b = out.buffer();
    b.append(keyword);
    b.append("\n  name      ");
    append_quoted(b, util::rtrim(name));
    b.append(
        "\n"
        "  chainage  0\n"
        "  breakline line\n"
        "  colour    red\n"
        "  style     1\n"
        "\n"
        "  data {\n");
    out.commit();
}

void close_block(io::OutputFile& out) { out.write("  }\n}\n\n"); }

// A data line is laid out blank in the file's buffer and its fields written
// into it, so a long string costs no allocation per vertex.
constexpr std::size_t kIndent = 4;
constexpr std::size_t kLine2d = kIndent + 2 * kXY.width + 1;
constexpr std::size_t kLine3d = kLine2d + kZ.width;

char* put_xy(std::string& b, std::size_t length, double x, double y) {
    char* line = util::append_blanks(b, length);
    util::put_fixed_field(line + kIndent, x, kXY.width, kXY.decimals);
    util::put_fixed_field(line + kIndent + kXY.width, y, kXY.width, kXY.decimals);
    line[length - 1] = '\n';
    return line;
}

// A field of the super-string layout: the converter's column when the value
// fits it (its digits, sign and point, and room for a digit that rounding
// carries), else as wide as the value needs after one blank.
void put_wide(std::string& b, double v, Field f) {
    const double a = std::fabs(v);
    int digits = 2;
    for (double p = 10.0; a >= p && digits < 400; p *= 10.0) ++digits;
    const int needed = digits + 1 + f.decimals + (v < 0.0 ? 1 : 0);
    util::put_fixed(b, v, std::isfinite(v) && needed + 1 > f.width ? needed + 1 : f.width, f.decimals);
}

void indent(std::string& b, int depth) { b.append(static_cast<std::size_t>(2 * depth), ' '); }

}  // namespace

void write_12da_header(io::OutputFile& out, std::string_view source) {
    std::string& b = out.buffer();
    b.append("null -999\nmodel \"from ");
    b.append(util::rtrim(source));
    b.append(".mif\"\n\n");
    out.commit();
}

void D12Output::close() const { services::CLOSER(unit); }

D12Output open_12da(std::string_view base) {
    int unit = 0;
    services::OPENFILE(unit, "O ", std::string(base) + ".12da");
    D12Output out{services::runtime().units.output(unit), unit};
    write_12da_header(out.file, base);
    return out;
}

void write_string_2d(io::OutputFile& out, std::string_view name, std::span<const double> x,
                     std::span<const double> y, std::int32_t n) {
    open_block(out, "string 2d {", name);
    for (std::size_t k = 0; k < static_cast<std::size_t>(n); ++k) {
        put_xy(out.buffer(), kLine2d, x[k], y[k]);
        out.commit();
    }
    close_block(out);
}

void write_string_2d(io::OutputFile& out, std::string_view name, std::span<const double> x,
                     std::span<const double> y, std::span<const util::NumberText> x_texts,
                     std::span<const util::NumberText> y_texts, std::int32_t n) {
    open_block(out, "string 2d {", name);
    for (std::size_t k = 0; k < static_cast<std::size_t>(n); ++k) {
        char* line = util::append_blanks(out.buffer(), kLine2d);
        char* field = line + kIndent;
        if (!util::put_digits_field(field, x_texts[k], kXY.width, kXY.decimals))
            util::put_fixed_field(field, x[k], kXY.width, kXY.decimals);
        field += kXY.width;
        if (!util::put_digits_field(field, y_texts[k], kXY.width, kXY.decimals))
            util::put_fixed_field(field, y[k], kXY.width, kXY.decimals);
        line[kLine2d - 1] = '\n';
        out.commit();
    }
    close_block(out);
}

void write_string_3d(io::OutputFile& out, std::string_view name, std::span<const double> x,
                     std::span<const double> y, std::span<const float> z, std::int32_t n) {
    open_block(out, "string 3d {", name);
    for (std::size_t k = 0; k < static_cast<std::size_t>(n); ++k) {
        char* line = put_xy(out.buffer(), kLine3d, x[k], y[k]);
        util::put_fixed_field(line + kIndent + 2 * kXY.width, z[k], kZ.width, kZ.decimals);
        out.commit();
    }
    close_block(out);
}

void append_null_line(std::string& b) { b.append("null -999\n"); }

void append_model(std::string& b, std::string_view name) {
    b.append("model ");
    append_quoted(b, name);
    b.append("\n\n");
}

void append_super_start(std::string& b, const SuperString& s) {
    b.append("string super {\n  name      ");
    append_quoted(b, s.name);
    b.push_back('\n');
    if (s.has_chainage) {
        b.append("  chainage  ");
        char text[32];
        const auto r = std::to_chars(text, text + sizeof text, s.chainage);
        b.append(text, r.ec == std::errc{} ? static_cast<std::size_t>(r.ptr - text) : 0);
        b.push_back('\n');
    }
    const std::pair<const char*, std::string_view> lines[] = {
        {"  breakline ", s.breakline}, {"  colour    ", s.colour}, {"  style     ", s.style}};
    for (const auto& [keyword, value] : lines) {
        if (value.empty()) continue;
        b.append(keyword);
        append_quoted(b, value);
        b.push_back('\n');
    }
    b.append(s.closed ? "  closed    1\n" : "  closed    0\n");
}

void append_attributes_start(std::string& b, int depth) {
    indent(b, depth);
    b.append("attributes {\n");
}

void append_attribute(std::string& b, int depth, AttributeType type, std::string_view name, std::string_view value) {
    indent(b, depth + 1);
    b.append(type == AttributeType::text ? "text    " : type == AttributeType::integer ? "integer " : "real    ");
    append_quoted(b, name);
    b.push_back(' ');
    if (type == AttributeType::text)
        append_quoted(b, value);
    else
        b.append(value);
    b.push_back('\n');
}

void append_group_start(std::string& b, int depth, std::string_view name) {
    indent(b, depth);
    b.append("group {\n");
    indent(b, depth + 1);
    b.append("name ");
    append_quoted(b, name);
    b.push_back('\n');
    append_attributes_start(b, depth + 1);
}

void append_block_end(std::string& b, int depth) {
    indent(b, depth);
    b.append("}\n");
}

void append_data_start(std::string& b, bool heights) { b.append(heights ? "  data_3d {\n" : "  data_2d {\n"); }

void append_vertex(std::string& b, double x, double y) {
    b.append(kIndent, ' ');
    put_wide(b, x, kXY);
    put_wide(b, y, kXY);
    b.push_back('\n');
}

void append_vertex(std::string& b, double x, double y, double z) {
    b.append(kIndent, ' ');
    put_wide(b, x, kXY);
    put_wide(b, y, kXY);
    if (std::isnan(z))
        b.append(static_cast<std::size_t>(kZ.width) - 4, ' ').append("null");
    else
        put_wide(b, z, kZ);
    b.push_back('\n');
}

void append_super_end(std::string& b) { b.append("  }\n}\n\n"); }

}  // namespace velmorak::mif2d12
