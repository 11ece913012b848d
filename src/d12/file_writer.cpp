#include "d12/file_writer.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <system_error>
#include <utility>

#include "io/text_encoding.h"
#include "util/text.h"

namespace velmorak::d12 {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// The archive's one member: its own file name with ".12da" for ".12daz".
std::string member_of(std::string_view name) {
    const std::size_t slash = name.find_last_of("/\\");
    std::string_view file = slash == std::string_view::npos ? name : name.substr(slash + 1);
    file.remove_suffix(std::strlen(".12daz"));
    return std::string(file) + ".12da";
}

// A number as the package reads one: the whole text, nothing before or after it.
bool is_integer(std::string_view text) {
    std::int64_t v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    return !text.empty() && r.ec == std::errc{} && r.ptr == text.data() + text.size();
}

bool is_real(std::string_view text) {
    double v = 0.0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    return !text.empty() && r.ec == std::errc{} && r.ptr == text.data() + text.size() && std::isfinite(v);
}

bool same_height(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

}  // namespace

std::unique_ptr<FileWriter> FileWriter::create(std::string_view name, TextEncoding encoding, std::string& why) {
    std::string reason;
    std::unique_ptr<io::OutputFile> file = io::OutputFile::create(name, false, &reason);
    if (!file) {
        why = std::string(name) + ": the file cannot be created (" + reason + ")";
        return nullptr;
    }
    std::unique_ptr<FileWriter> w(new FileWriter(std::move(file), std::string(name), encoding));
    constexpr std::string_view kArchive = ".12daz";
    if (name.size() >= kArchive.size() && util::contains_nocase(name.substr(name.size() - kArchive.size()), kArchive)) {
        io::ZipOptions options;
        io::dos_time_of(static_cast<std::int64_t>(std::time(nullptr)), options.dos_time, options.dos_date);
        FileWriter* self = w.get();
        w->zip_ = std::make_unique<io::ZipWriter>(
            [self](const void* data, std::size_t n, std::string& failure) {
                self->file_->buffer().append(static_cast<const char*>(data), n);
                self->file_->commit();
                if (!self->file_->failed()) return true;
                failure = self->file_->failure();
                return false;
            },
            member_of(name), options);
    }
    static const unsigned char kUtf8Mark[] = {0xEF, 0xBB, 0xBF};
    static const unsigned char kUtf16Mark[] = {0xFF, 0xFE};
    const bool marked = encoding == TextEncoding::utf8 ? w->put(kUtf8Mark, sizeof kUtf8Mark)
                                                       : w->put(kUtf16Mark, sizeof kUtf16Mark);
    if (!marked) {
        why = w->why_;
        return nullptr;
    }
    mif2d12::append_null_line(w->text_);
    return w;
}

FileWriter::FileWriter(std::unique_ptr<io::OutputFile> file, std::string name, TextEncoding encoding)
    : file_(std::move(file)), name_(std::move(name)), encoding_(encoding) {
    text_.reserve(kFlushAt + 4096);
}

// A writer not finished leaves no file: io::OutputFile drops its temporary.
FileWriter::~FileWriter() = default;

FileWriter::Status FileWriter::fail(std::string_view what, const std::string& reason) {
    if (!failed_) {
        why_ = name_ + ": " + std::string(what) + " (" + reason + ")";
        failed_ = true;
        // The temporary goes at once, not when the caller gets round to closing.
        zip_.reset();
        file_->discard();
    }
    return Status::failed;
}

FileWriter::Status FileWriter::refuse(std::string text) {
    why_ = name_ + ": " + text;
    return Status::invalid;
}

bool FileWriter::put(const void* data, std::size_t n) {
    if (failed_) return false;
    if (zip_) {
        if (zip_->write(data, n)) return true;
        fail("the archive cannot be written", zip_->error());
        return false;
    }
    file_->buffer().append(static_cast<const char*>(data), n);
    file_->commit();
    if (!file_->failed()) return true;
    fail("the file cannot be written", file_->failure());
    return false;
}

bool FileWriter::flush() {
    if (text_.empty()) return !failed_;
    bool ok = true;
    if (encoding_ == TextEncoding::utf8) {
        ok = put(text_.data(), text_.size());
    } else {
        encoded_.clear();
        io::utf8_to_utf16le_crlf(text_, encoded_);
        ok = put(encoded_.data(), encoded_.size());
    }
    text_.clear();
    return ok;
}

FileWriter::Status FileWriter::model(std::string_view name) {
    if (failed_) return Status::failed;
    if (finished_) return refuse("the file is finished: no model can follow");
    // Models written in turn give their line again, which readers join up.
    if (!has_model_ || name != model_) {
        mif2d12::append_model(text_, name);
        model_.assign(name);
        has_model_ = true;
    }
    if (text_.size() >= kFlushAt && !flush()) return Status::failed;
    return Status::ok;
}

bool FileWriter::check(const StringOut& s) {
    // The text of a refusal is made only when there is one.
    const auto bad = [&](const std::string& text) {
        refuse("string " + std::to_string(strings_ + 1) + ": " + text);
        return false;
    };
    if (s.x.size() != s.y.size() || (!s.z.empty() && s.z.size() != s.x.size()))
        return bad("its x, y and heights are not of one length");
    if (s.header.has_chainage && !std::isfinite(s.header.chainage)) return bad("its chainage is not a number");
    for (std::size_t i = 0; i < s.x.size(); ++i) {
        const char* what = !std::isfinite(s.x[i])                ? "x"
                           : !std::isfinite(s.y[i])              ? "y"
                           : !s.z.empty() && std::isinf(s.z[i])  ? "height"
                                                                 : nullptr;
        if (what != nullptr)
            return bad(std::string("the ") + what + " of vertex " + std::to_string(i + 1) + " is not a number");
    }
    if (s.attributes.size() > kMaxAttributes)
        return bad(std::to_string(s.attributes.size()) + " attributes, more than the " +
                   std::to_string(kMaxAttributes) + " a reader keeps");
    for (const AttributeOut& a : s.attributes) {
        if (a.name.empty()) return bad("an attribute has no name");
        const bool integer = a.type == mif2d12::AttributeType::integer;
        if ((integer && !is_integer(a.value)) || (a.type == mif2d12::AttributeType::real && !is_real(a.value)))
            return bad("attribute \"" + std::string(a.name) + "\" is " + (integer ? "an integer" : "a real") +
                       ", and \"" + std::string(a.value) + "\" is not " + (integer ? "a whole number" : "a number"));
    }
    plan_groups(s.attributes);
    for (std::size_t i = 0; i < s.attributes.size(); ++i) {
        std::size_t depth = 0;
        for (std::string_view rest = s.attributes[i].name; rest.size() > leaf_[i].size(); ++depth)
            rest.remove_prefix(rest.find('/') + 1);
        if (depth > kMaxGroupDepth)
            return bad("attribute \"" + std::string(s.attributes[i].name) + "\" lies in " + std::to_string(depth) +
                       " nested groups, more than the " + std::to_string(kMaxGroupDepth) + " a reader keeps");
    }
    return true;
}

// "a/b/c" is value c of group b inside group a; a slash at either end of what
// is left is part of the name, as the GDAL driver plans a layer's fields.
void FileWriter::plan_groups(std::span<const AttributeOut> attributes) {
    groups_.clear();
    groups_.push_back(Group{{}, kNone, kNone, kNone, kNone, kNone});
    next_value_.assign(attributes.size(), kNone);
    leaf_.assign(attributes.size(), std::string_view());
    for (std::size_t i = 0; i < attributes.size(); ++i) {
        std::string_view path = attributes[i].name;
        std::size_t g = 0;
        for (std::size_t slash = path.find('/');
             slash != std::string_view::npos && slash > 0 && slash + 1 < path.size(); slash = path.find('/')) {
            const std::string_view name = path.substr(0, slash);
            std::size_t child = groups_[g].first_child;
            while (child != kNone && groups_[child].name != name) child = groups_[child].next_sibling;
            if (child == kNone) {
                child = groups_.size();
                groups_.push_back(Group{name, kNone, kNone, kNone, kNone, kNone});
                if (groups_[g].last_child == kNone)
                    groups_[g].first_child = child;
                else
                    groups_[groups_[g].last_child].next_sibling = child;
                groups_[g].last_child = child;
            }
            g = child;
            path.remove_prefix(slash + 1);
        }
        leaf_[i] = path;
        if (groups_[g].last_value == kNone)
            groups_[g].first_value = i;
        else
            next_value_[groups_[g].last_value] = i;
        groups_[g].last_value = i;
    }
}

void FileWriter::append_group(const StringOut& s, std::size_t group, int depth) {
    for (std::size_t v = groups_[group].first_value; v != kNone; v = next_value_[v])
        mif2d12::append_attribute(text_, depth, s.attributes[v].type, leaf_[v], s.attributes[v].value);
    for (std::size_t child = groups_[group].first_child; child != kNone; child = groups_[child].next_sibling) {
        mif2d12::append_group_start(text_, depth + 1, groups_[child].name);
        append_group(s, child, depth + 2);
        mif2d12::append_block_end(text_, depth + 2);
        mif2d12::append_block_end(text_, depth + 1);
    }
}

FileWriter::Status FileWriter::write_string(const StringOut& s) {
    if (failed_) return Status::failed;
    if (finished_) return refuse("the file is finished: no string can follow");
    if (!check(s)) return Status::invalid;
    std::size_t n = s.x.size();
    const bool heights = !s.z.empty();
    // A closed string's vertices may end with a copy of the first, as a reader
    // gives them: the "closed" line stands for it.
    if (s.header.closed && n >= 2 && s.x[n - 1] == s.x[0] && s.y[n - 1] == s.y[0] &&
        (!heights || same_height(s.z[n - 1], s.z[0])))
        --n;
    mif2d12::append_super_start(text_, s.header);
    if (!s.attributes.empty()) {
        mif2d12::append_attributes_start(text_, 1);
        append_group(s, 0, 1);
        mif2d12::append_block_end(text_, 1);
    }
    mif2d12::append_data_start(text_, heights);
    for (std::size_t i = 0; i < n; ++i) {
        if (heights)
            mif2d12::append_vertex(text_, s.x[i], s.y[i], s.z[i]);
        else
            mif2d12::append_vertex(text_, s.x[i], s.y[i]);
        if (text_.size() >= kFlushAt && !flush()) return Status::failed;
    }
    mif2d12::append_super_end(text_);
    ++strings_;
    if (text_.size() >= kFlushAt && !flush()) return Status::failed;
    return Status::ok;
}

FileWriter::Status FileWriter::finish() {
    if (failed_) return Status::failed;
    if (finished_) return refuse("the file is finished already");
    if (!flush()) return Status::failed;
    if (zip_ && !zip_->finish()) return fail("the archive cannot be completed", zip_->error());
    if (!file_->close()) return fail("the file cannot be written whole", file_->failure());
    finished_ = true;
    why_.clear();
    return Status::ok;
}

}  // namespace velmorak::d12
