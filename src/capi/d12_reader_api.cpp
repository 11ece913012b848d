// The reading half of velmorak/d12.h: the core's one 12d reader
// (d12::StringRecords, which the GDAL driver reads through too) behind an
// opaque handle. Every text is handed out as UTF-8 from the handle's own
// buffers; nothing is allocated per string beyond what the record reuses.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "capi/d12_status.h"
#include "d12/null_heights.h"
#include "d12/string_records.h"
#include "d12/string_walk.h"
#include "io/utf8_text.h"
#include "velmorak/d12.h"
#if defined(_WIN32)
#include "io/platform_windows_text.h"
#endif

namespace {

using velmorak::d12::StringRecord;
using velmorak::d12::StringRecords;

// The most vertices a caller may allow one string: as many as the GDAL driver allows.
constexpr std::uint64_t kMostVertices = std::uint64_t{1} << 31;

velmorak_d12_attribute_kind kind_of(velmorak::d12::AttributeType t) {
    switch (t) {
        case velmorak::d12::AttributeType::integer:
            return VELMORAK_D12_INTEGER;
        case velmorak::d12::AttributeType::real:
            return VELMORAK_D12_REAL;
        case velmorak::d12::AttributeType::text:
            break;
    }
    return VELMORAK_D12_TEXT;
}

// A text of the record as UTF-8, converted into `scratch` only where it is not UTF-8 already.
const char* utf8(const std::string& text, std::string& scratch) { return velmorak::io::as_utf8(text, scratch).c_str(); }

}  // namespace

struct velmorak_d12_reader {
    std::string path;
    std::unique_ptr<StringRecords> records;
    StringRecord record;
    bool has_string = false;  // `record` holds the string the caller was given last
    std::uint64_t read = 0;   // the number of the string the records gave last (0: none since the start)
    std::string error;
    std::uint64_t error_line = 0;
    // The UTF-8 of texts that are not UTF-8 in the file (model, type, name, colour, style, breakline) ...
    std::string scratch[6];
    // ... and of each attribute's name and value. Kept for their capacity.
    std::vector<std::string> attribute_scratch;
    std::vector<const char*> attribute_texts;  // name and value of each attribute, in turn

    // Where each string given so far is, in file order: a position (the
    // offset of its header line) leads back to its number, line and model,
    // which a seek needs to place the reader there without reading what
    // comes before. A few bytes per string, the models held once.
    struct Place {
        std::uint64_t offset;
        std::uint64_t number;
        std::uint64_t line;
        std::uint32_t model;
    };
    std::vector<Place> places;
    std::vector<std::string> models;
    std::unordered_map<std::string, std::uint32_t> model_index;

    void note_place() {
        const StringRecord& r = record;
        if (!places.empty() && places.back().number >= r.number) return;
        std::uint32_t model = 0;
        if (models.empty() || models[places.empty() ? 0 : places.back().model] != r.model) {
            const auto it = model_index.find(r.model);
            if (it != model_index.end()) {
                model = it->second;
            } else {
                model = static_cast<std::uint32_t>(models.size());
                models.push_back(r.model);
                model_index.emplace(r.model, model);
            }
        } else {
            model = places.back().model;
        }
        places.push_back({r.offset, r.number, r.line, model});
    }
    const Place* place_at(std::uint64_t offset) const {
        const auto it = std::lower_bound(places.begin(), places.end(), offset,
                                         [](const Place& p, std::uint64_t o) { return p.offset < o; });
        return it != places.end() && it->offset == offset ? &*it : nullptr;
    }

    int ok() {
        error.clear();
        error_line = 0;
        return VELMORAK_D12_OK;
    }
    int invalid(const char* why) {
        error = why;
        error_line = 0;
        return VELMORAK_D12_INVALID;
    }
    // The reason the reading stopped, as the GDAL driver reports it.
    int stopped() {
        has_string = false;
        error_line = records->stop_line();
        error = path;
        if (error_line > 0) error += ", line " + std::to_string(error_line);
        error += ": ";
        error += records->stop_text();
        return VELMORAK_D12_ERROR;
    }
    void failed(std::string why) {
        has_string = false;
        error_line = 0;
        error = std::move(why);
    }

    // The next string into `record`.
    StringRecords::Step step() {
        has_string = false;
        const StringRecords::Step s = records->next(record);
        if (s == StringRecords::Step::string) {
            read = record.number;
            note_place();
        }
        return s;
    }

    void fill(velmorak_d12_string& s) {
        const StringRecord& r = record;
        s.number = r.number;
        s.position = r.offset;
        s.line = r.line;
        s.model = utf8(r.model, scratch[0]);
        s.type = utf8(r.type, scratch[1]);
        s.name = utf8(r.name, scratch[2]);
        s.colour = utf8(r.colour, scratch[3]);
        s.style = utf8(r.style, scratch[4]);
        s.breakline = utf8(r.breakline, scratch[5]);
        s.has_chainage = r.has_chainage ? 1 : 0;
        s.chainage = r.chainage;
        s.closed = r.closed ? 1 : 0;
        s.has_heights = r.has_heights ? 1 : 0;
        s.vertex_count = r.x.size();
        s.x = r.x.data();
        s.y = r.y.data();
        s.z = r.z.data();
        s.attribute_count = r.attributes.size();
        const std::size_t texts = 2 * r.attributes.size();
        if (attribute_scratch.size() < texts) attribute_scratch.resize(texts);
        attribute_texts.resize(texts);
        for (std::size_t i = 0; i < r.attributes.size(); ++i) {
            attribute_texts[2 * i] = utf8(r.attributes[i].name, attribute_scratch[2 * i]);
            attribute_texts[2 * i + 1] = utf8(r.attributes[i].value, attribute_scratch[2 * i + 1]);
        }
        has_string = true;
    }
};

namespace {

using velmorak::capi::d12_guarded;
using velmorak::capi::set_last_error;

// The work of velmorak_d12_open and _open_w, inside their guard.
int open_reader(std::string path, size_t max_vertices, velmorak_d12_reader** reader) {
    *reader = nullptr;
    if (max_vertices > kMostVertices) {
        set_last_error(path + ": at most " + std::to_string(kMostVertices) + " vertices per string can be allowed");
        return VELMORAK_D12_INVALID;
    }
    const std::size_t capacity = max_vertices == 0 ? velmorak::d12::kVertexCapacity : max_vertices;
    auto r = std::make_unique<velmorak_d12_reader>();
    std::string why;
    r->records = StringRecords::open(path, capacity, why);
    if (!r->records) {
        set_last_error(path + ": " + why);
        return VELMORAK_D12_ERROR;
    }
    // The header now, for its null value; damage in it is the first call of next's to report.
    r->records->read_header();
    r->path = std::move(path);
    *reader = r.release();
    velmorak::capi::clear_last_error();
    return VELMORAK_D12_OK;
}

int open_guarded(const char* path, size_t max_vertices, velmorak_d12_reader** reader,
                 std::string (*name)(const void*)) noexcept {
    return d12_guarded(
        [&] {
            if (reader == nullptr || path == nullptr) {
                if (reader != nullptr) *reader = nullptr;
                set_last_error("velmorak_d12_open: no path or no place for the reader given");
                return VELMORAK_D12_INVALID;
            }
            return open_reader(name(path), max_vertices, reader);
        },
        [](std::string why) { set_last_error(std::move(why)); });
}

// Runs the body of an export that works on a reader: a NULL reader is refused
// and an exception leaves its reason as the reader's error.
template <typename F>
int on_reader(velmorak_d12_reader* reader, F&& body) noexcept {
    if (reader == nullptr) return VELMORAK_D12_INVALID;
    return d12_guarded([&] { return body(*reader); },
                       [&](const std::string& why) { reader->failed(reader->path + ": " + why); });
}

}  // namespace

extern "C" {

int velmorak_d12_open(const char* path, size_t max_vertices, velmorak_d12_reader** reader) {
    return open_guarded(path, max_vertices, reader,
                        [](const void* p) { return std::string(static_cast<const char*>(p)); });
}

#if defined(_WIN32)
int velmorak_d12_open_w(const wchar_t* path, size_t max_vertices, velmorak_d12_reader** reader) {
    // The name in the program's own text, UTF-8, as the Windows platform layer converts the system's names.
    return open_guarded(reinterpret_cast<const char*>(path), max_vertices, reader, [](const void* p) {
        return velmorak::io::platform::windows::utf8(static_cast<const wchar_t*>(p));
    });
}
#endif

void velmorak_d12_close(velmorak_d12_reader* reader) { delete reader; }

double velmorak_d12_null_value(const velmorak_d12_reader* reader) {
    if (reader == nullptr) return -99999.0;
    return reader->records->null_value();
}

int velmorak_d12_next(velmorak_d12_reader* reader, velmorak_d12_string* s) {
    return on_reader(reader, [&](velmorak_d12_reader& r) {
        if (s == nullptr) return r.invalid("velmorak_d12_next: no string to fill given");
        switch (r.step()) {
            case StringRecords::Step::string:
                r.fill(*s);
                return r.ok();
            case StringRecords::Step::end:
                r.ok();
                return VELMORAK_D12_END;
            case StringRecords::Step::stopped:
                break;
        }
        return r.stopped();
    });
}

int velmorak_d12_rewind(velmorak_d12_reader* reader) {
    return on_reader(reader, [](velmorak_d12_reader& r) {
        r.records->rewind();
        r.has_string = false;
        r.read = 0;
        return r.ok();
    });
}

int velmorak_d12_seek(velmorak_d12_reader* reader, uint64_t position) {
    return on_reader(reader, [&](velmorak_d12_reader& r) {
        // A position is where the string's header line begins: only the
        // strings this reader gave have one it knows.
        const velmorak_d12_reader::Place* place = r.place_at(position);
        if (place == nullptr) return r.invalid("velmorak_d12_seek: the file holds no string at that position");
        const std::uint64_t number = place->number;
        r.has_string = false;
        // A plain file of 8-bit or UTF-8 text is read from there at once ...
        if (r.records->seek(place->offset, place->line, r.models[place->model], number)) {
            r.read = number - 1;
            return r.ok();
        }
        // ... any other again from its start to reach a string behind the
        // one read last, and on to reach one ahead.
        if (r.read >= number) {
            r.records->rewind();
            r.read = 0;
        }
        while (r.read + 1 < number) {
            switch (r.step()) {
                case StringRecords::Step::string:
                    continue;
                case StringRecords::Step::end:
                    return r.invalid("velmorak_d12_seek: the file holds no string at that position");
                case StringRecords::Step::stopped:
                    break;
            }
            return r.stopped();
        }
        return r.ok();
    });
}

int velmorak_d12_attribute(velmorak_d12_reader* reader, size_t index, const char** name,
                           velmorak_d12_attribute_kind* kind, const char** value) {
    return on_reader(reader, [&](velmorak_d12_reader& r) {
        if (name == nullptr || kind == nullptr || value == nullptr)
            return r.invalid("velmorak_d12_attribute: no place for the name, kind or value given");
        if (!r.has_string) return r.invalid("velmorak_d12_attribute: no string was given by velmorak_d12_next");
        if (index >= r.record.attributes.size())
            return r.invalid("velmorak_d12_attribute: the string has no attribute of that index");
        *name = r.attribute_texts[2 * index];
        *value = r.attribute_texts[2 * index + 1];
        *kind = kind_of(r.record.attributes[index].type);
        return r.ok();
    });
}

int velmorak_d12_arcs(velmorak_d12_reader* reader, const double** radius, const unsigned char** major) {
    return on_reader(reader, [&](velmorak_d12_reader& r) {
        if (radius == nullptr || major == nullptr)
            return r.invalid("velmorak_d12_arcs: no place for the radii or major flags given");
        if (!r.has_string) return r.invalid("velmorak_d12_arcs: no string was given by velmorak_d12_next");
        const bool arcs = !r.record.radius.empty();
        *radius = arcs ? r.record.radius.data() : nullptr;
        *major = arcs ? r.record.major.data() : nullptr;
        return r.ok();
    });
}

const char* velmorak_d12_error(const velmorak_d12_reader* reader) {
    return reader == nullptr ? "" : reader->error.c_str();
}

uint64_t velmorak_d12_error_line(const velmorak_d12_reader* reader) {
    return reader == nullptr ? 0 : reader->error_line;
}

size_t velmorak_d12_fill_null_heights(const double* x, const double* y, double* z, size_t n) {
    if (x == nullptr || y == nullptr || z == nullptr) return 0;
    return velmorak::d12::fill_null_heights(x, y, z, n);
}

}  // extern "C"
