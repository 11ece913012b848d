// The writing half of velmorak/d12.h: a C caller's models and strings, checked
// at the boundary (NULL arguments, calls out of order) and handed to the
// core's d12::FileWriter, which lays the file out and gives it its name.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "capi/d12_status.h"
#include "d12/file_writer.h"
#include "velmorak/d12.h"

static_assert(sizeof(velmorak_d12_attribute_kind) == sizeof(int));
#if defined(_WIN32)
#include "io/platform_windows_text.h"
#endif

namespace {

using velmorak::d12::FileWriter;

int status_of(FileWriter::Status s) {
    switch (s) {
        case FileWriter::Status::ok:
            return VELMORAK_D12_OK;
        case FileWriter::Status::invalid:
            return VELMORAK_D12_INVALID;
        case FileWriter::Status::failed:
            break;
    }
    return VELMORAK_D12_ERROR;
}

}  // namespace

struct velmorak_d12_writer {
    std::unique_ptr<FileWriter> file;
    std::string error;
    // The attributes of the string being written, kept for their capacity.
    std::vector<velmorak::d12::AttributeOut> attributes;

    // The handle's error text after a call: the core's reason, "" after success.
    int result(FileWriter::Status s) {
        error = s == FileWriter::Status::ok ? std::string() : file->error();
        return status_of(s);
    }
    int invalid(const char* why) {
        error = why;
        return VELMORAK_D12_INVALID;
    }
    // An exception halfway through a string leaves the file unfinished: the
    // writer takes no further call that could finish it.
    void broken(std::string why) noexcept {
        error = std::move(why);
        file.reset();
    }
};

namespace {

// The work of velmorak_d12_create and _create_w, inside their guard.
int create(const std::string& path, int encoding, velmorak_d12_writer** writer) {
    using velmorak::capi::set_last_error;
    if (encoding != VELMORAK_D12_UTF8 && encoding != VELMORAK_D12_UTF16) {
        set_last_error(path + ": encoding " + std::to_string(encoding) +
                       " is neither VELMORAK_D12_UTF8 nor VELMORAK_D12_UTF16");
        return VELMORAK_D12_INVALID;
    }
    std::string why;
    auto file = FileWriter::create(
        path, encoding == VELMORAK_D12_UTF16 ? velmorak::d12::TextEncoding::utf16 : velmorak::d12::TextEncoding::utf8,
        why);
    if (!file) {
        set_last_error(why);
        return VELMORAK_D12_ERROR;
    }
    auto w = std::make_unique<velmorak_d12_writer>();
    w->file = std::move(file);
    *writer = w.release();
    return VELMORAK_D12_OK;
}

// NULL arguments of a create: INVALID with the reason, and no writer.
bool create_arguments(const void* path, velmorak_d12_writer** writer, const char* function) {
    if (writer != nullptr) *writer = nullptr;
    if (path != nullptr && writer != nullptr) return true;
    velmorak::capi::set_last_error(std::string(function) +
                                   (path == nullptr ? ": no path was given" : ": no place for the writer was given"));
    return false;
}

// A call on a writer: NULL, or one that an earlier exception left unfinished,
// is refused before `body` runs.
template <typename F>
int on_writer(velmorak_d12_writer* writer, F&& body) {
    if (writer == nullptr) return VELMORAK_D12_INVALID;
    if (!writer->file) return VELMORAK_D12_ERROR;
    return velmorak::capi::d12_guarded([&] { return body(*writer); },
                                       [&](const std::string& why) { writer->broken(why); });
}

}  // namespace

extern "C" {

int velmorak_d12_create(const char* path, int encoding, velmorak_d12_writer** writer) {
    if (!create_arguments(path, writer, "velmorak_d12_create")) return VELMORAK_D12_INVALID;
    return velmorak::capi::d12_guarded([&] { return create(path, encoding, writer); },
                                       [](const std::string& why) { velmorak::capi::set_last_error(why); });
}

#if defined(_WIN32)
int velmorak_d12_create_w(const wchar_t* path, int encoding, velmorak_d12_writer** writer) {
    if (!create_arguments(path, writer, "velmorak_d12_create_w")) return VELMORAK_D12_INVALID;
    return velmorak::capi::d12_guarded(
        [&] { return create(velmorak::io::platform::windows::utf8(path), encoding, writer); },
        [](const std::string& why) { velmorak::capi::set_last_error(why); });
}
#endif

int velmorak_d12_write_model(velmorak_d12_writer* writer, const char* name) {
    return on_writer(writer, [&](velmorak_d12_writer& w) {
        if (name == nullptr) return w.invalid("velmorak_d12_write_model: no model name was given");
        return w.result(w.file->model(name));
    });
}

int velmorak_d12_write_string(velmorak_d12_writer* writer, const velmorak_d12_string_out* s) {
    return on_writer(writer, [&](velmorak_d12_writer& w) {
        if (s == nullptr) return w.invalid("velmorak_d12_write_string: no string was given");
        if (s->vertex_count > 0 && (s->x == nullptr || s->y == nullptr))
            return w.invalid("velmorak_d12_write_string: the string has vertices but no x or no y");
        if (s->attribute_count > 0 && s->attributes == nullptr)
            return w.invalid("velmorak_d12_write_string: the string has attributes but no array of them");
        velmorak::d12::StringOut out;
        out.header.name = s->name != nullptr ? s->name : "";
        out.header.colour = s->colour != nullptr ? s->colour : "";
        out.header.style = s->style != nullptr ? s->style : "";
        out.header.breakline = s->breakline != nullptr ? s->breakline : "";
        out.header.has_chainage = s->has_chainage != 0;
        out.header.chainage = s->chainage;
        out.header.closed = s->closed != 0;
        if (s->vertex_count > 0) {
            out.x = {s->x, s->vertex_count};
            out.y = {s->y, s->vertex_count};
            if (s->z != nullptr) out.z = {s->z, s->vertex_count};
        }
        // A value without its text is left out, like the string's own texts.
        w.attributes.clear();
        for (std::size_t i = 0; i < s->attribute_count; ++i) {
            const velmorak_d12_attribute_value& a = s->attributes[i];
            if (a.name == nullptr) return w.invalid("velmorak_d12_write_string: an attribute has no name");
            // The kind as the int a C caller stored: a value outside the enumeration is refused, never loaded as one.
            int kind = 0;
            std::memcpy(&kind, &a.kind, sizeof kind);
            if (kind != VELMORAK_D12_TEXT && kind != VELMORAK_D12_INTEGER && kind != VELMORAK_D12_REAL)
                return w.invalid("velmorak_d12_write_string: an attribute's kind is not text, integer or real");
            if (a.value == nullptr) continue;
            const auto type = kind == VELMORAK_D12_INTEGER ? velmorak::mif2d12::AttributeType::integer
                              : kind == VELMORAK_D12_REAL  ? velmorak::mif2d12::AttributeType::real
                                                           : velmorak::mif2d12::AttributeType::text;
            w.attributes.push_back({a.name, type, a.value});
        }
        out.attributes = w.attributes;
        return w.result(w.file->write_string(out));
    });
}

int velmorak_d12_writer_finish(velmorak_d12_writer* writer) {
    return on_writer(writer, [](velmorak_d12_writer& w) { return w.result(w.file->finish()); });
}

const char* velmorak_d12_writer_error(const velmorak_d12_writer* writer) {
    return writer != nullptr ? writer->error.c_str() : "";
}

void velmorak_d12_writer_close(velmorak_d12_writer* writer) { delete writer; }

}  // extern "C"
