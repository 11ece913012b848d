#include "string_source.h"

#include <cmath>
#include <limits>

#include "d12/object.h"
#include "d12/reader.h"
#include "d12/string_walk.h"
#include "io/archive.h"
#include "io/input_file.h"
#include "services/units.h"
#include "vsi_source.h"

namespace velmorak::gdal12 {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kUnit = services::UnitPool::kFirstUnit;

class WalkSource final : public StringSource {
public:
    bool open(const std::string& path, std::string& why) {
        std::unique_ptr<io::InputFile> file;
        if (io::is_12da_archive_name(path)) {
            std::string member;
            file = io::open_12da_archive(path, member, why, [](const std::string& damage) {
                services::Console& con = services::runtime().console;
                con.line(damage);
                services::STOPRUN();
            });
        } else if (auto source = open_vsi_source(path, why)) {
            file = io::InputFile::from_source(std::move(source));
        }
        if (!file) return false;
        core_.runtime().units.set_in_use(kUnit, true);
        core_.runtime().units.connect(kUnit, path, std::move(file));
        return true;
    }

    Step next(StringRecord& s) override {
        if (stopped_) return Step::stopped;
        bool found = false;
        if (!core_.run([&] { found = read_next(s); })) {
            stopped_ = true;
            return Step::stopped;
        }
        return found ? Step::string : Step::end;
    }

    void rewind() override {
        core_.run([&] { core_.runtime().units.input(kUnit).rewind(); });
        header_read_ = false;
        stopped_ = false;
        number_ = 0;
        object_ = d12::d12Object{};
    }

    const std::string& stop_text() const override { return core_.stop_text(); }
    std::uint64_t stop_line() const override { return 0; }

private:
    bool read_next(StringRecord& s) {
        io::InputFile& in = core_.runtime().units.input(kUnit);
        if (!header_read_) {
            null_value_ = d12::kNoElevation;
            d12::d12ReadHeader(kUnit, null_value_);
            object_.nullValue = null_value_;
            object_.more = false;
            header_read_ = true;
        }
        while (!in.at_eof()) {
            if (!d12::d12NextLine(line_, kUnit)) continue;
            if (!d12::d12ObjectType(kUnit, line_, object_)) continue;
            start_record(s);
            for (;;) {
                if (object_.data2d || object_.data3d || object_.hipData) {
                    std::size_t count = 0;
                    if (d12::d12ReadVertices(kUnit, object_, v_.x, v_.y, v_.z, d12::kVertexCapacity, count))
                        take_block(s, count);
                } else {
                    d12::pass_over_block(kUnit, object_, v_);
                }
                if (!object_.more || !d12::d12NextLine(line_, kUnit)) break;
                d12::d12ObjectType(kUnit, line_, object_);
            }
            object_.more = false;
            return true;
        }
        return false;
    }

    void start_record(StringRecord& s) {
        s.number = ++number_;
        s.line = 0;
        s.model.clear();
        s.type.assign(object_.type);
        s.name.assign(object_.name);
        s.colour.clear();
        s.style.clear();
        s.breakline.clear();
        s.has_chainage = false;
        s.closed = false;
        s.attributes.clear();
        s.x.clear();
        s.y.clear();
        s.z.clear();
        s.has_heights = false;
    }

    // A super string's hipdata is its alignment's geometry only when it has no other data block.
    void take_block(StringRecord& s, std::size_t count) {
        if (object_.hipData && !s.x.empty()) return;
        s.closed = s.closed || ((object_.isPolyline || object_.isSuper) && object_.closed && count > 1);
        for (std::size_t i = 0; i < count; ++i) {
            s.x.push_back(v_.x[i]);
            s.y.push_back(v_.y[i]);
            const float z = v_.z[i];
            const bool real = z != d12::kNoElevation && d12::has_elevation(z, null_value_);
            s.z.push_back(real ? static_cast<double>(z) : kNaN);
            s.has_heights = s.has_heights || real;
        }
    }

    CoreRun core_;
    d12::d12Object object_;
    d12::VertexArrays v_;
    std::string line_;
    float null_value_ = d12::kNoElevation;
    std::uint64_t number_ = 0;
    bool header_read_ = false;
    bool stopped_ = false;
};

}  // namespace

std::unique_ptr<StringSource> StringSource::open(const std::string& path, std::string& why) {
    auto source = std::make_unique<WalkSource>();
    if (!source->open(path, why)) return nullptr;
    return source;
}

}  // namespace velmorak::gdal12
