#include "mif2d12/d12_writer.h"

#include <string>

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

void open_block(io::OutputFile& out, std::string_view keyword, std::string_view name) {
    std::string& b = out.buffer();
    b.append(keyword);
    b.append("\n  name      \"");
    // The package reads \" as a quote and \\ as a backslash inside a quoted
    // text; a quote written alone would end the name there.
    for (const char c : util::rtrim(name)) {
        if (c == '"' || c == '\\') b.push_back('\\');
        b.push_back(c);
    }
    b.append(
        "\"\n"
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

}  // namespace velmorak::mif2d12
