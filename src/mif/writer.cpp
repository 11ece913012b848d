#include "mif/writer.h"

#include <cstring>

#include "io/input_file.h"
#include "io/names.h"
#include "io/output_file.h"
#include "services/messages.h"
#include "services/runtime.h"
#include "services/units.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/freeformat.h"
#include "util/text.h"

namespace velmorak::mif {
namespace {

constexpr int kCoordWidth = 16;
constexpr int kCoordDecimals = 6;
constexpr int kBoundWidth = 15;
constexpr int kBoundDecimals = 3;
constexpr std::string_view kBoundsTag = "Bounds (";
constexpr std::string_view kCommaDelimiter = "Delimiter \",\"";
static_assert(kVertexLineLength == 2 * kCoordWidth + 1, "two coordinate fields and the line end");

// Points the message log at the caller's log unit for the duration of a call.
class LogUnitScope {
public:
    explicit LogUnitScope(int unit) : saved_(services::DMESSAGES().log_unit) { services::DMESSAGES().log_unit = unit; }
    ~LogUnitScope() { services::DMESSAGES().log_unit = saved_; }
    LogUnitScope(const LogUnitScope&) = delete;
    LogUnitScope& operator=(const LogUnitScope&) = delete;

private:
    int saved_;
};

void write_fixed_lines(io::OutputFile& out, std::string_view coordsys) {
    out.line("Version 300");
    out.line("Charset \"WindowsLatin1\"");
    out.line(kCommaDelimiter);
    out.line(util::rtrim(coordsys));
}

// The two numbers between an opening parenthesis and the next ")".
bool read_pair(std::string_view text, double& a, double& b) {
    const std::size_t close = text.find(')');
    util::FreeFormat ff(text.substr(0, close));
    double va = 0.0;
    double vb = 0.0;
    if (ff.read_all(va, vb) != util::ReadStatus::ok) return false;
    a = va;
    b = vb;
    return true;
}

// Reads the bounds of a CoordSys line written "Bounds (xmin, ymin) (xmax, ymax)".
// Each pair is handed back only when both its numbers read; false when the
// first pair cannot be read.
bool read_bounds(std::string_view line, double& xmin, double& ymin, double& xmax, double& ymax) {
    const std::size_t at = line.find(kBoundsTag);
    const std::string_view first = line.substr(at + kBoundsTag.size());
    if (!read_pair(first, xmin, ymin)) return false;
    const std::size_t open = first.find('(');
    if (open != std::string_view::npos) read_pair(first.substr(open + 1), xmax, ymax);
    return true;
}

void put_point(std::string& buf, double x, double y) {
    util::put_fixed(buf, x, kCoordWidth, kCoordDecimals);
    util::put_fixed(buf, y, kCoordWidth, kCoordDecimals);
}

void put_vertex_line(std::string& buf, double x, double y) {
    char* line = util::append_blanks(buf, kVertexLineLength);
    util::put_fixed_field(line, x, kCoordWidth, kCoordDecimals);
    util::put_fixed_field(line + kCoordWidth, y, kCoordWidth, kCoordDecimals);
    line[kVertexLineLength - 1] = '\n';
}

void put_style(std::string& buf, std::string_view style) {
    if (util::all_blank(style)) return;
    buf.append(util::rtrim(style));
    buf.push_back('\n');
}

}  // namespace

void put_mid_text(std::string& row, std::string_view text) {
    row.push_back('"');
    for (std::size_t quote = text.find('"'); quote != std::string_view::npos; quote = text.find('"')) {
        row.append(text.substr(0, quote + 1));
        row.push_back('"');
        text.remove_prefix(quote + 1);
    }
    row.append(text);
    row.push_back('"');
}

void HeaderCopy::line(std::string_view line) {
    const std::string_view head = util::ltrim_blanks(line);
    const auto keyword = [&](std::string_view word) { return util::contains_nocase(util::cut(head, word.size()), word); };
    if (!delimiter_ && keyword("Delimiter")) {
        out_.line(kCommaDelimiter);
        delimiter_ = true;
        return;
    }
    if (!delimiter_ && !head.empty() && !keyword("Version") && !keyword("Charset")) finish();
    out_.line(line);
}

void HeaderCopy::finish() {
    if (delimiter_) return;
    out_.line(kCommaDelimiter);
    delimiter_ = true;
}

std::string nonearth_coordsys(double xmin, double ymin, double xmax, double ymax) {
    std::string line = "CoordSys NonEarth Units \"m\" Bounds (";
    util::put_fixed(line, xmin, kBoundWidth, kBoundDecimals);
    line += ",";
    util::put_fixed(line, ymin, kBoundWidth, kBoundDecimals);
    line += ") (";
    util::put_fixed(line, xmax, kBoundWidth, kBoundDecimals);
    line += ",";
    util::put_fixed(line, ymax, kBoundWidth, kBoundDecimals);
    line += ")";
    return line;
}

void miWriteHeader(io::OutputFile& out, std::string_view projection, std::string_view header_name, int log_unit,
                   double& xmin, double& ymin, double& xmax, double& ymax) {
    LogUnitScope log_scope(log_unit);
    services::Runtime& rt = services::runtime();

    if (!util::all_blank(projection)) {
        write_fixed_lines(out, projection);
        if (projection.find(kBoundsTag) == std::string_view::npos) return;
        if (!read_bounds(projection, xmin, ymin, xmax, ymax)) {
            const std::string_view text = "ERROR - Could not read XY Bounds in MI Projection Line.";
            rt.console.end_open_line();
            rt.console.line(text);
            if (log_unit > 0) {
                if (io::OutputFile* log = rt.units.output_or_null(log_unit)) log->line(text);
            }
            services::STOPRUN();
        }
        return;
    }

    const std::string name(util::rtrim(util::TRIMF(header_name)));
    if (!io::file_exists(name)) {
        rt.console.end_line();
        services::show_message(0, "WARNING - No MI Projection or mif header file " + name + " found.",
                               "          Non-Earth Coordinates will be used.");
        services::PAUSEPROMPT();
        write_fixed_lines(out, nonearth_coordsys(xmin, ymin, xmax, ymax));
        return;
    }

    int in_unit = 0;
    services::OPENFILE(in_unit, "I ", name);
    io::InputFile& in = rt.units.input(in_unit);
    std::string_view line;
    HeaderCopy copy(out);
    while (in.read_line(line) == io::LineStatus::ok) {
        line = util::cut(line, kMifLineWidth);
        if (util::contains_nocase(line, "Columns")) break;
        copy.line(util::rtrim(line));
        if (line.find(kBoundsTag) != std::string_view::npos) read_bounds(line, xmin, ymin, xmax, ymax);
    }
    copy.finish();
    services::CLOSER(in_unit);
}

void miWriteObject(io::OutputFile& out, miKind kind, std::span<const double> x, std::span<const double> y,
                   std::int32_t n, std::string_view style) {
    std::string& buf = out.buffer();
    const auto count = static_cast<std::size_t>(n > 0 ? n : 0);
    switch (kind) {
        case miKind::point:
            buf += "Point ";
            put_vertex_line(buf, x[0], y[0]);
            break;
        case miKind::line:
            buf += "Line ";
            put_point(buf, x[0], y[0]);
            put_vertex_line(buf, x[1], y[1]);
            break;
        case miKind::pline:
            buf += "Pline ";
            buf += util::int_text(n);
            buf.push_back('\n');
            for (std::size_t k = 0; k < count; ++k) put_vertex_line(buf, x[k], y[k]);
            break;
        case miKind::region:
            // Always one closed polygon: the first vertex is repeated at the end.
            buf += "Region 1\n ";
            buf += util::int_text(static_cast<std::int64_t>(n) + 1);
            buf.push_back('\n');
            for (std::size_t k = 0; k < count; ++k) put_vertex_line(buf, x[k], y[k]);
            put_vertex_line(buf, x[0], y[0]);
            break;
        default: {
            services::Console& con = services::runtime().console;
            con.end_open_line();
            con.line("ERROR - Trying to write a MIF object that is not yet supported!");
            services::STOPRUN();
        }
    }
    put_style(buf, style);
    out.commit();
}

void miFormatVertices(std::string& lines, std::span<const double> x, std::span<const double> y, std::int32_t n) {
    const auto count = static_cast<std::size_t>(n > 0 ? n : 0);
    lines.reserve(lines.size() + count * kVertexLineLength);
    for (std::size_t k = 0; k < count; ++k) put_vertex_line(lines, x[k], y[k]);
}

void miFormatVertices(std::string& lines, std::span<const double> x, std::span<const double> y,
                      std::span<const util::NumberText> x_texts, std::span<const util::NumberText> y_texts,
                      std::int32_t n) {
    const auto count = static_cast<std::size_t>(n > 0 ? n : 0);
    // Sized once for the block; each line is laid out blank and its fields written into it.
    const std::size_t old = lines.size();
    lines.resize(old + count * kVertexLineLength);
    char* line = lines.data() + old;
    for (std::size_t k = 0; k < count; ++k, line += kVertexLineLength) {
        std::memset(line, ' ', kVertexLineLength - 1);
        if (!util::put_digits_field(line, x_texts[k], kCoordWidth, kCoordDecimals))
            util::put_fixed_field(line, x[k], kCoordWidth, kCoordDecimals);
        if (!util::put_digits_field(line + kCoordWidth, y_texts[k], kCoordWidth, kCoordDecimals))
            util::put_fixed_field(line + kCoordWidth, y[k], kCoordWidth, kCoordDecimals);
        line[kVertexLineLength - 1] = '\n';
    }
}

void miWritePline(io::OutputFile& out, std::int32_t n, std::string_view vertex_lines, std::string_view style) {
    std::string& buf = out.buffer();
    buf += "Pline ";
    buf += util::int_text(n);
    buf.push_back('\n');
    buf.append(vertex_lines);
    put_style(buf, style);
    out.commit();
}

void miWritePoint(io::OutputFile& out, std::string_view vertex_line, std::string_view style) {
    std::string& buf = out.buffer();
    buf += "Point ";
    buf.append(vertex_line);
    put_style(buf, style);
    out.commit();
}

std::string miPointText(std::string_view style) {
    std::string text = "Point ";
    static_assert(kPointLineOffset == 6, "the keyword and its blank");
    text.append(kVertexLineLength - 1, ' ');
    text.push_back('\n');
    put_style(text, style);
    return text;
}

}  // namespace velmorak::mif
