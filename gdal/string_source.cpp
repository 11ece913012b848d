#include "string_source.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "d12/object.h"
#include "d12/string_details.h"
#include "d12/string_walk.h"
#include "d12/archive.h"
#include "io/input_file.h"
#include "services/runtime.h"
#include "services/units.h"
#include "util/big_array.h"
#include "util/text.h"
#include "vsi_source.h"

namespace velmorak::gdal12 {
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

// Heights are read in single precision, as the converter reads them. GDAL
// gets the shortest decimal that reads back as the same value: the file's
// 212.406, not 212.406005859375.
double as_written(float z) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, z);
    double d = static_cast<double>(z);
    std::from_chars(text, written.ptr, d);
    return d;
}

AttributeKind kind_of(d12::AttributeType t) {
    switch (t) {
        case d12::AttributeType::integer:
            return AttributeKind::integer;
        case d12::AttributeType::real:
            return AttributeKind::real;
        case d12::AttributeType::text:
            break;
    }
    return AttributeKind::text;
}

class WalkSource final : public StringSource {
public:
    explicit WalkSource(std::size_t capacity) : capacity_(capacity), x_(capacity + 1), y_(capacity + 1), z_(capacity + 1) {}

    bool open(const std::string& path, std::string& why) {
        // The first bytes are read here already: damage found in them stops the reader's run.
        if (!core_.run([&] { open_file(path, why); })) why = core_.stop_text();
        if (!file_) return false;
        walk_ = std::make_unique<d12::StringWalk>(*file_, capacity_);
        walk_->collect_details(&details_);
        return true;
    }

    void open_file(const std::string& path, std::string& why) {
        std::unique_ptr<io::ByteSource> bytes;
        if (d12::is_12da_archive_name(path)) {
            std::string member;
            bytes = d12::open_12da_archive(path, member, why);
        } else {
            bytes = open_vsi_source(path, why);
        }
        if (!bytes) return;
        // Damaged data, or a read the system fails, stops the walk with its reason.
        bytes = services::stop_on_read_failure(std::move(bytes), path);
        if (auto text = utf8_text(std::move(bytes)))
            file_ = io::InputFile::from_source(std::move(text));
        else
            why = "the file cannot be read";
    }

    Step next(StringRecord& s) override {
        if (stopped_) return Step::stopped;
        bool found = false;
        if (!core_.run([&] { found = read_next(s); })) {
            stopped_ = true;
            stop_line_ = walk_->line_number();
            return Step::stopped;
        }
        return found ? Step::string : Step::end;
    }

    void rewind() override {
        started_ = false;
        stopped_ = false;
        number_ = 0;
    }

    const std::string& stop_text() const override { return core_.stop_text(); }
    std::uint64_t stop_line() const override { return stop_line_; }

private:
    bool read_next(StringRecord& s) {
        if (!started_) {
            started_ = true;
            // A header the reader cannot get through (an unreadable null value):
            // its warning, which the console holds, ends the reading.
            if (!walk_->start()) services::run_time_stop();
            has_next_ = walk_->next();
        }
        if (!has_next_) return false;
        // The walk stands on the first block of a string.
        const d12::d12Object& o = walk_->object();
        const bool lines = is_line_type(o.type);
        s.number = ++number_;
        s.line = walk_->string_line();
        s.model.assign(walk_->model());
        s.type.assign(o.type);
        s.name.assign(o.name);
        s.x.clear();
        s.y.clear();
        s.z.clear();
        s.has_heights = false;
        s.closed = false;
        bool plan_only = true;  // only alignment plans so far
        for (;;) {
            std::size_t count = 0;
            if (lines && walk_->has_data() && walk_->read_vertices(x_, y_, z_, count)) take_block(s, plan_only, count);
            const bool more = walk_->more_blocks();
            // The string's details are complete once its last block is read.
            if (!more) take_details(s);
            has_next_ = walk_->next();
            if (!more || !has_next_) break;
        }
        return true;
    }

    // A string's line is its data, data_2d and data_3d blocks in order. An
    // alignment's hipdata block and a super alignment's horizontal data_2d
    // are its plan: x and y of its intersection points, whose third value is a
    // radius, not a height. They count only where no other block does.
    void take_block(StringRecord& s, bool& plan_only, std::size_t count) {
        const d12::d12Object& o = walk_->object();
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
            const bool real = !o.hipData && z != d12::kNoElevation && d12::has_elevation(z, null_value);
            s.z.push_back(real ? as_written(z) : kNaN);
            s.has_heights = s.has_heights || real;
        }
    }

    void take_details(StringRecord& s) {
        s.colour.assign(details_.colour);
        s.style.assign(details_.style);
        s.breakline.assign(details_.breakline);
        s.has_chainage = details_.has_chainage;
        s.chainage = details_.chainage;
        if (s.attributes.size() < details_.count) s.attributes.resize(details_.count);
        s.attributes.resize(details_.count);
        for (std::size_t i = 0; i < details_.count; ++i) {
            const d12::StringAttribute& a = details_.attributes[i];
            s.attributes[i].name.assign(a.name);
            s.attributes[i].kind = kind_of(a.type);
            s.attributes[i].value.assign(a.value);
        }
    }

    CoreRun core_;
    std::unique_ptr<io::InputFile> file_;
    std::unique_ptr<d12::StringWalk> walk_;
    d12::StringDetails details_;
    // Sized once for the longest string allowed, touched only as far as the longest string read.
    std::size_t capacity_;
    util::LazyVector<double> x_;
    util::LazyVector<double> y_;
    util::LazyVector<float> z_;
    std::uint64_t number_ = 0;
    std::uint64_t stop_line_ = 0;
    bool started_ = false;
    bool has_next_ = false;
    bool stopped_ = false;
};

}  // namespace

std::unique_ptr<StringSource> StringSource::open(const std::string& path, std::size_t capacity, std::string& why) {
    auto source = std::make_unique<WalkSource>(capacity);
    if (!source->open(path, why)) return nullptr;
    return source;
}

}  // namespace velmorak::gdal12
