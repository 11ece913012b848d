// The surfaces half of velmorak/d12.h's reading: d12::TinRecords behind an
// opaque handle. The points and triangles are handed out as the reader holds
// them (its arrays are laid out as the interface says); texts as UTF-8.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "capi/d12_status.h"
#include "d12/tin_records.h"
#include "io/utf8_text.h"
#include "velmorak/d12.h"

namespace {

using velmorak::d12::Tin;
using velmorak::d12::TinRecords;

static_assert(sizeof(velmorak::d12::TinPoint) == 3 * sizeof(double), "points are handed out as x, y, z in turn");
static_assert(sizeof(velmorak::d12::TinTriangle) == 3 * sizeof(std::uint32_t),
              "triangles are handed out as three indices in turn");

velmorak_d12_attribute_kind kind_of(velmorak::d12::AttributeType t) {
    switch (t) {
        case velmorak::d12::AttributeType::integer: return VELMORAK_D12_INTEGER;
        case velmorak::d12::AttributeType::real: return VELMORAK_D12_REAL;
        case velmorak::d12::AttributeType::text: break;
    }
    return VELMORAK_D12_TEXT;
}

velmorak_d12_tin_kind kind_of(velmorak::d12::TinKind k) {
    switch (k) {
        case velmorak::d12::TinKind::full_tin: return VELMORAK_D12_FULL_TIN;
        case velmorak::d12::TinKind::super_tin: return VELMORAK_D12_SUPER_TIN;
        case velmorak::d12::TinKind::tin: break;
    }
    return VELMORAK_D12_TIN;
}

const char* utf8(const std::string& text, std::string& scratch) { return velmorak::io::as_utf8(text, scratch).c_str(); }

}  // namespace

struct velmorak_d12_tin_reader {
    std::string path;
    std::unique_ptr<TinRecords> records;
    Tin tin;
    bool has_tin = false;
    std::vector<unsigned char> visible;
    std::string error;
    std::uint64_t error_line = 0;
    std::string scratch[3];
    std::vector<std::string> texts;  // attribute names and values, then members, as UTF-8

    int ok() {
        error.clear();
        error_line = 0;
        return VELMORAK_D12_OK;
    }
    void failed(std::string why) {
        has_tin = false;
        error_line = 0;
        error = std::move(why);
    }

    void fill(velmorak_d12_tin& t) {
        t.kind = kind_of(tin.kind);
        t.line = tin.line;
        t.model = utf8(tin.model, scratch[0]);
        t.name = utf8(tin.name, scratch[1]);
        t.colour = utf8(tin.colour, scratch[2]);
        t.point_count = tin.points.size();
        t.points = tin.points.empty() ? nullptr : &tin.points[0].x;
        t.triangle_count = tin.triangles.size();
        t.triangles = tin.triangles.empty() ? nullptr : tin.triangles[0].data();
        visible.resize(tin.triangles.size());
        std::size_t n = 0;
        for (std::size_t i = 0; i < visible.size(); ++i) {
            visible[i] = tin.invisible[i] ? 0 : 1;
            n += visible[i];
        }
        t.visible = visible.empty() ? nullptr : visible.data();
        t.visible_count = n;
        t.attribute_count = tin.attributes.size();
        t.member_count = tin.members.size();
        texts.resize(2 * tin.attributes.size() + tin.members.size());
        std::string scratch_text;
        for (std::size_t i = 0; i < tin.attributes.size(); ++i) {
            texts[2 * i] = velmorak::io::as_utf8(tin.attributes[i].name, scratch_text);
            texts[2 * i + 1] = velmorak::io::as_utf8(tin.attributes[i].value, scratch_text);
        }
        for (std::size_t i = 0; i < tin.members.size(); ++i)
            texts[2 * tin.attributes.size() + i] = velmorak::io::as_utf8(tin.members[i], scratch_text);
        has_tin = true;
    }
};

namespace {

template <typename F>
int on_reader(velmorak_d12_tin_reader* reader, F&& body) noexcept {
    if (reader == nullptr) return VELMORAK_D12_INVALID;
    return velmorak::capi::d12_guarded([&] { return body(*reader); },
                                       [&](const std::string& why) { reader->failed(reader->path + ": " + why); });
}

}  // namespace

extern "C" {

int velmorak_d12_tin_open(const char* path, velmorak_d12_tin_reader** reader) {
    return velmorak::capi::d12_guarded(
        [&] {
            if (reader == nullptr || path == nullptr) {
                if (reader != nullptr) *reader = nullptr;
                velmorak::capi::set_last_error("velmorak_d12_tin_open: no path or no place for the reader given");
                return VELMORAK_D12_INVALID;
            }
            *reader = nullptr;
            auto r = std::make_unique<velmorak_d12_tin_reader>();
            r->path = path;
            std::string why;
            r->records = TinRecords::open(r->path, why);
            if (!r->records) {
                velmorak::capi::set_last_error(r->path + ": " + why);
                return VELMORAK_D12_ERROR;
            }
            *reader = r.release();
            velmorak::capi::clear_last_error();
            return VELMORAK_D12_OK;
        },
        [](std::string why) { velmorak::capi::set_last_error(std::move(why)); });
}

void velmorak_d12_tin_close(velmorak_d12_tin_reader* reader) { delete reader; }

int velmorak_d12_tin_next(velmorak_d12_tin_reader* reader, velmorak_d12_tin* t) {
    return on_reader(reader, [&](velmorak_d12_tin_reader& r) {
        r.has_tin = false;
        if (t == nullptr) {
            r.error = "velmorak_d12_tin_next: no surface to fill given";
            return VELMORAK_D12_INVALID;
        }
        switch (r.records->next(r.tin)) {
            case TinRecords::Step::tin:
                r.fill(*t);
                return r.ok();
            case TinRecords::Step::end:
                r.ok();
                return VELMORAK_D12_END;
            case TinRecords::Step::stopped:
                break;
        }
        // As the GDAL driver reports it.
        r.error_line = r.records->stop_line();
        r.error = r.path;
        if (r.error_line > 0) r.error += ", line " + std::to_string(r.error_line);
        r.error += ": " + r.records->stop_text();
        return VELMORAK_D12_ERROR;
    });
}

int velmorak_d12_tin_rewind(velmorak_d12_tin_reader* reader) {
    return on_reader(reader, [](velmorak_d12_tin_reader& r) {
        std::string why;
        r.records = TinRecords::open(r.path, why);
        r.has_tin = false;
        if (!r.records) {
            r.failed(r.path + ": " + why);
            return VELMORAK_D12_ERROR;
        }
        return r.ok();
    });
}

int velmorak_d12_tin_attribute(velmorak_d12_tin_reader* reader, size_t index, const char** name,
                               velmorak_d12_attribute_kind* kind, const char** value) {
    return on_reader(reader, [&](velmorak_d12_tin_reader& r) {
        if (!r.has_tin || index >= r.tin.attributes.size()) {
            r.error = "velmorak_d12_tin_attribute: no such attribute";
            return VELMORAK_D12_INVALID;
        }
        if (name != nullptr) *name = r.texts[2 * index].c_str();
        if (value != nullptr) *value = r.texts[2 * index + 1].c_str();
        if (kind != nullptr) *kind = kind_of(r.tin.attributes[index].type);
        return r.ok();
    });
}

const char* velmorak_d12_tin_member(velmorak_d12_tin_reader* reader, size_t index) {
    if (reader == nullptr || !reader->has_tin || index >= reader->tin.members.size()) return nullptr;
    return reader->texts[2 * reader->tin.attributes.size() + index].c_str();
}

const char* velmorak_d12_tin_error(const velmorak_d12_tin_reader* reader) {
    return reader == nullptr ? "" : reader->error.c_str();
}

uint64_t velmorak_d12_tin_error_line(const velmorak_d12_tin_reader* reader) {
    return reader == nullptr ? 0 : reader->error_line;
}

}  // extern "C"
