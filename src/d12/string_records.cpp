#include "d12/string_records.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "d12/archive.h"
#include "d12/object.h"
#include "d12/string_walk.h"
#include "io/system_file.h"
#include "io/utf8_text.h"
#include "services/runtime.h"
#include "services/units.h"
#include "util/text.h"

namespace velmorak::d12 {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The string types whose data blocks are lines of the terrain model: the
// superseded alignment and pipeline strings give their plan. The other kinds
// (point clouds, text and plot frames ...) hold data blocks that are not a
// line, and arcs and circles none.
bool is_line_type(std::string_view type) {
    for (const std::string_view t : {"super", "3d", "2d", "4d", "interface", "polyline", "drainage",
                                     "super_alignment", "alignment", "pipeline"})
        if (type.size() == t.size() && util::contains_nocase(type, t)) return true;
    return false;
}

// The string types whose vertex lines are "x y z radius bulge".
bool has_vertex_arcs(std::string_view type) {
    for (const std::string_view t : {"polyline", "drainage"})
        if (type.size() == t.size() && util::contains_nocase(type, t)) return true;
    return false;
}

}  // namespace

// Heights are read in single precision, as the converter reads them.
double height_as_written(float z) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, z);
    double d = static_cast<double>(z);
    std::from_chars(text, written.ptr, d);
    return d;
}

StringRecords::StringRecords(std::size_t capacity)
    : capacity_(capacity),
      x_(capacity + 1),
      y_(capacity + 1),
      z_(capacity + 1),
      radius_(capacity + 1),
      major_(capacity + 1) {}

StringRecords::~StringRecords() = default;

std::unique_ptr<StringRecords> StringRecords::open(const std::string& path, std::size_t capacity, std::string& why,
                                                   const OpenBytes& open_plain) {
    std::unique_ptr<StringRecords> records(new StringRecords(capacity));
    // The first bytes are read here already: damage found in them stops the reader's run.
    if (!records->core_.run([&] { records->file_ = open_12d_text(path, why, open_plain); }))
        why = records->core_.stop_text();
    if (!records->file_) return nullptr;
    records->walk_ = std::make_unique<StringWalk>(*records->file_, capacity);
    records->walk_->collect_details(&records->details_);
    return records;
}

std::unique_ptr<io::InputFile> open_12d_text(const std::string& path, std::string& why,
                                             const StringRecords::OpenBytes& open_plain) {
    std::unique_ptr<io::ByteSource> bytes;
    if (open_plain) {
        bytes = open_plain(path, why);
    } else if (is_12da_archive_name(path) && may_be_zip_archive(path)) {
        std::string member;
        bytes = open_12da_archive(path, member, why);
    } else {
        bytes = io::FileSource::open(path, why);
    }
    if (!bytes) return nullptr;
    // Damaged data, or a read the system fails, stops the walk with its reason.
    bytes = services::stop_on_read_failure(std::move(bytes), path);
    if (auto text = io::utf8_text(std::move(bytes))) return io::InputFile::from_source(std::move(text));
    why = "the file cannot be read";
    return nullptr;
}

StringRecords::Step StringRecords::next(StringRecord& s) {
    if (stopped_) return Step::stopped;
    bool found = false;
    if (!core_.run([&] { found = read_next(s); })) {
        stopped_ = true;
        stop_line_ = walk_->line_number();
        return Step::stopped;
    }
    return found ? Step::string : Step::end;
}

bool StringRecords::read_header() {
    if (stopped_) return false;
    if (started_) return true;
    if (!core_.run([&] { start(); })) {
        stopped_ = true;
        stop_line_ = walk_->line_number();
        return false;
    }
    return true;
}

double StringRecords::null_value() const noexcept { return walk_->null_value(); }

std::size_t StringRecords::passed_tins() const noexcept { return walk_->passed_tins().size(); }

void StringRecords::rewind() {
    started_ = false;
    stopped_ = false;
    number_ = 0;
}

bool StringRecords::seekable() noexcept { return walk_->seekable(); }

bool StringRecords::seek(std::uint64_t offset, std::uint64_t line, const std::string& model, std::uint64_t number) {
    if (number == 0 || !walk_->seekable()) return false;
    if (stopped_ || !read_header()) return false;
    bool placed = false;
    const bool ran = core_.run([&] {
        placed = walk_->seek(offset, static_cast<std::size_t>(line), model);
        if (placed) has_next_ = walk_->next();
    });
    if (!ran) {
        stopped_ = true;
        stop_line_ = walk_->line_number();
        return false;
    }
    if (placed) number_ = number - 1;
    return placed;
}

void StringRecords::start() {
    started_ = true;
    // A header the reader cannot get through (an unreadable null value):
    // its warning, which the console holds, ends the reading.
    if (!walk_->start()) services::run_time_stop();
    has_next_ = walk_->next();
}

bool StringRecords::read_next(StringRecord& s) {
    if (!started_) start();
    if (!has_next_) return false;
    // The walk stands on the first block of a string.
    const d12Object& o = walk_->object();
    const bool lines = is_line_type(o.type);
    s.number = ++number_;
    s.line = walk_->string_line();
    s.offset = walk_->string_offset();
    s.model.assign(walk_->model());
    s.type.assign(o.type);
    s.name.assign(o.name);
    s.x.clear();
    s.y.clear();
    s.z.clear();
    s.has_heights = false;
    s.closed = false;
    bool plan_only = true;  // only alignment plans so far
    const bool vertex_arcs = has_vertex_arcs(o.type);
    for (;;) {
        std::size_t count = 0;
        const bool read = lines && walk_->has_data() &&
                          (vertex_arcs ? walk_->read_vertices(x_, y_, z_, count, VertexArcs{radius_, major_})
                                       : walk_->read_vertices(x_, y_, z_, count));
        if (read) take_block(s, plan_only, count);
        // A polyline's radius and bulge values are the arcs from its vertices, as radius_data is a super string's.
        for (std::size_t i = 0; read && vertex_arcs && i < count; ++i) {
            details_.arcs.segment_radius.push_back(radius_[i]);
            details_.arcs.segment_major.push_back(major_[i]);
        }
        const bool more = walk_->more_blocks();
        // The string's details are complete once its last block is read.
        if (!more) take_details(s);
        has_next_ = walk_->next();
        if (!more || !has_next_) break;
    }
    return true;
}

// A string's line is its data, data_2d and data_3d blocks in order. An
// alignment's hipdata block and a super alignment's horizontal data_2d are
// its plan: x and y of its intersection points, whose third value is a
// radius, not a height. They count only where no other block does.
void StringRecords::take_block(StringRecord& s, bool& plan_only, std::size_t count) {
    const d12Object& o = walk_->object();
    if (o.hipData) {
        if (!plan_only || !s.x.empty()) return;
    } else if (plan_only) {
        plan_only = false;
        s.x.clear();
        s.y.clear();
        s.z.clear();
        s.has_heights = false;
    }
    const float null_value = walk_->null_value();
    s.closed = s.closed || ((o.isPolyline || o.isSuper) && o.closed && count > 1);
    for (std::size_t i = 0; i < count; ++i) {
        s.x.push_back(x_[i]);
        s.y.push_back(y_[i]);
        const float z = z_[i];
        // A 2D block without a "z" line has no height at all; in a 3D block
        // only the file's null value is null, as the conversions read it.
        const bool real = !o.hipData && !(o.data2d && z == kNoElevation) && has_elevation(z, null_value);
        s.z.push_back(!real ? kNaN : raw_heights_ ? static_cast<double>(z) : height_as_written(z));
        s.has_heights = s.has_heights || real;
    }
}

void StringRecords::take_details(StringRecord& s) {
    s.colour.assign(details_.colour);
    s.style.assign(details_.style);
    s.breakline.assign(details_.breakline);
    s.has_chainage = details_.has_chainage;
    s.chainage = details_.chainage;
    if (s.attributes.size() < details_.count) s.attributes.resize(details_.count);
    s.attributes.resize(details_.count);
    for (std::size_t i = 0; i < details_.count; ++i) {
        const StringAttribute& a = details_.attributes[i];
        s.attributes[i].name.assign(a.name);
        s.attributes[i].type = a.type;
        s.attributes[i].value.assign(a.value);
    }
    apply_arcs(details_.arcs, walk_->null_value(), s);
}

}  // namespace velmorak::d12
