#include "services/units.h"

#include <algorithm>
#include <optional>

#include "io/platform.h"
#include "io/system_file.h"
#include "services/runtime.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/path.h"
#include "util/text.h"

namespace velmorak::services {
namespace {

constexpr std::size_t kNameWidth = 1000;
constexpr std::size_t kAnswerWidth = 80;

bool is_input_code(std::string_view t) { return t == "I " || t == "BI" || t == "UI"; }
bool is_output_code(std::string_view t) { return t == "O " || t == "F " || t == "BO" || t == "UO" || t == "A "; }

std::string unit_field(int unit) { return util::fixed_int(unit, 4); }

// An output never replaces a file the run reads, such as a header .mif named
// as File 2 that is also the new layer, or a layer in the current folder named
// like a report layer: by its name, or by the file it would replace (links and
// other spellings of one file).
void refuse_run_input(const std::string& name, const io::FileKey& output) {
    Runtime& rt = runtime();
    for (const io::FileKey& input : rt.run_inputs) {
        if (!output.same_as(input)) continue;
        rt.console.end_open_line();
        show_message(1, "ERROR - Output file \"" + name + "\" is an input of this run.",
                     "        It is left as it is; choose other file names.");
        STOPRUN();
    }
}

[[noreturn]] void stop_unwritten(const std::string& name, const std::string& why) {
    run_time_stop("ERROR - Could not write all of \"" + name + "\": " + why);
}

std::unique_ptr<io::ByteSource> open_plain_file(const std::string& name, std::string& why, std::string& /*note*/) {
    return io::FileSource::open(name, why);
}

class StopOnReadFailure final : public io::ByteSource {
public:
    StopOnReadFailure(std::unique_ptr<io::ByteSource> inner, std::string name)
        : inner_(std::move(inner)), name_(std::move(name)) {}
    std::ptrdiff_t read(void* dst, std::size_t n) override {
        const std::ptrdiff_t got = inner_->read(dst, n);
        if (got < 0) cannot_read(name_, inner_->error());
        return got;
    }
    bool rewind() override {
        if (!inner_->rewind()) cannot_read(name_, "It cannot be read again from its start.");
        return true;
    }
    std::optional<std::uint64_t> size() const override { return inner_->size(); }
    const std::string& error() const override { return inner_->error(); }
    bool seekable() const override { return inner_->seekable(); }
    bool seek(std::uint64_t offset) override { return inner_->seek(offset); }

private:
    std::unique_ptr<io::ByteSource> inner_;
    std::string name_;
};

// An input's lines through its opener; a failure to open or to read stops the run.
std::unique_ptr<io::InputFile> open_lines(const std::string& shown, InputOpener opener, std::string& note) {
    std::string why;
    std::unique_ptr<io::ByteSource> source = opener(shown, why, note);
    if (!source) cannot_read(shown, why);
    return io::InputFile::from_source(stop_on_read_failure(std::move(source), shown));
}

}  // namespace

std::unique_ptr<io::ByteSource> stop_on_read_failure(std::unique_ptr<io::ByteSource> source, std::string name) {
    return std::make_unique<StopOnReadFailure>(std::move(source), std::move(name));
}

void cannot_read(std::string_view name, std::string_view why) {
    Console& con = runtime().console;
    con.end_open_line();
    std::string text = "ERROR - Cannot read file \"";
    text.append(name);
    text.append("\": ");
    text.append(why);
    run_time_stop(text);
}

// ---------------------------------------------------------------- pool

UnitPool::UnitPool() = default;
UnitPool::~UnitPool() { close_all(); }

UnitPool::Slot* UnitPool::slot(int unit) {
    const int i = unit - kFirstUnit;
    return (i >= 0 && i < kSlots) ? &slots_[static_cast<std::size_t>(i)] : nullptr;
}
const UnitPool::Slot* UnitPool::slot(int unit) const {
    const int i = unit - kFirstUnit;
    return (i >= 0 && i < kSlots) ? &slots_[static_cast<std::size_t>(i)] : nullptr;
}

void UnitPool::reset() {
    close_all();
    for (Slot& s : slots_) s.in_use = false;
}

int UnitPool::lowest_free() const {
    for (int i = 0; i < kSlots; ++i)
        if (!slots_[static_cast<std::size_t>(i)].in_use) return kFirstUnit + i;
    return 0;
}

bool UnitPool::in_use(int unit) const {
    const Slot* s = slot(unit);
    return s != nullptr && s->in_use;
}

void UnitPool::set_in_use(int unit, bool used) {
    if (Slot* s = slot(unit)) s->in_use = used;
}

io::InputFile* UnitPool::input_or_null(int unit) {
    Slot* s = slot(unit);
    return s != nullptr ? s->in.get() : nullptr;
}

io::OutputFile* UnitPool::output_or_null(int unit) {
    Slot* s = slot(unit);
    return s != nullptr ? s->out.get() : nullptr;
}

io::InputFile& UnitPool::input(int unit) {
    io::InputFile* f = input_or_null(unit);
    if (f == nullptr) run_time_stop("ERROR - File unit " + util::int_text(unit) + " is not open for reading.");
    return *f;
}

io::OutputFile& UnitPool::output(int unit) {
    io::OutputFile* f = output_or_null(unit);
    if (f == nullptr) run_time_stop("ERROR - File unit " + util::int_text(unit) + " is not open for writing.");
    return *f;
}

bool UnitPool::connected(int unit) const {
    const Slot* s = slot(unit);
    return s != nullptr && (s->in || s->out);
}

const std::string& UnitPool::name_of(int unit) const {
    static const std::string none;
    const Slot* s = slot(unit);
    return s != nullptr ? s->name : none;
}

int UnitPool::unit_holding(std::string_view name) const {
    const std::string key = io::open_file_key(name);
    for (int i = 0; i < kSlots; ++i) {
        const Slot& s = slots_[static_cast<std::size_t>(i)];
        if ((s.in || s.out) && s.key == key) return kFirstUnit + i;
    }
    return 0;
}

UnitPool::Slot* UnitPool::attach(int unit, std::string_view name) {
    Slot* s = slot(unit);
    if (s == nullptr) return nullptr;
    disconnect(unit);
    s->name = name;
    s->key = io::open_file_key(name);
    const std::size_t leaf = s->key.find_last_of("/\\");
    const std::size_t dot = s->key.rfind('.');
    s->set = s->key.substr(0, dot != std::string::npos && (leaf == std::string::npos || dot > leaf) ? dot : s->key.size());
    return s;
}

void UnitPool::connect(int unit, std::string_view name, std::unique_ptr<io::InputFile> file) {
    if (Slot* s = attach(unit, name)) s->in = std::move(file);
}

void UnitPool::connect(int unit, std::string_view name, std::unique_ptr<io::OutputFile> file) {
    if (Slot* s = attach(unit, name)) s->out = std::move(file);
}

bool UnitPool::disconnect(int unit, std::string* why, std::string* failed) {
    Slot* s = slot(unit);
    if (s == nullptr) return true;
    const bool ok = !s->out || finish_output(*s, why, failed);
    s->in.reset();
    s->key.clear();
    s->set.clear();
    return ok;
}

bool UnitPool::finish_output(Slot& s, std::string* why, std::string* failed) {
    std::unique_ptr<io::OutputFile> out = std::move(s.out);
    auto report = [&](const std::string& name, const io::OutputFile& file) {
        if (why) *why = file.failure();
        if (failed) *failed = name;
        return false;
    };
    if (!out->finish()) {
        out->discard();
        return report(s.name, *out);
    }
    for (const Slot& other : slots_)
        if (other.out && other.set == s.set) {
            waiting_.push_back({s.set, s.name, std::move(out)});
            return true;
        }
    // Every file of the set is whole, flushed and closed: they take their
    // names in one step, a layer's .mif last (a .mif is never newer than its
    // rows), with Ctrl+C and the termination signals held until the last is done.
    const bool several = std::any_of(waiting_.begin(), waiting_.end(), [&](const Waiting& w) { return w.set == s.set; });
    std::optional<io::platform::InterruptsHeld> held;
    if (several) held.emplace();
    std::vector<Waiting> set;
    for (auto it = waiting_.begin(); it != waiting_.end();) {
        if (it->set != s.set) {
            ++it;
            continue;
        }
        set.push_back(std::move(*it));
        it = waiting_.erase(it);
    }
    set.push_back({s.set, s.name, std::move(out)});
    std::stable_partition(set.begin(), set.end(), [](const Waiting& w) { return util::FILEEXT(w.name) != ".mif"; });
    bool ok = true;
    for (Waiting& w : set) {
        // After a file of the set failed to take its name, the others keep theirs.
        if (!ok)
            w.out->discard();
        else if (!w.out->replace())
            ok = report(w.name, *w.out);
    }
    return ok;
}

bool UnitPool::close_outputs(std::string& name, std::string& why) {
    for (int i = 0; i < kSlots; ++i)
        if (slots_[static_cast<std::size_t>(i)].out && !disconnect(kFirstUnit + i, &why, &name)) return false;
    return true;
}

void UnitPool::close_all() {
    for (Slot& s : slots_) {
        if (s.out) s.out->discard();
        s.out.reset();
        s.in.reset();
        s.key.clear();
        s.set.clear();
    }
    waiting_.clear();
}

// ---------------------------------------------------------------- opening

void OPENFILE(int& unit, std::string_view type, std::string_view name, int /*ignored*/) {
    OPENFILE(unit, type, name, nullptr);
}

void OPENFILE(int& unit, std::string_view type, std::string_view name, InputOpener opener) {
    Runtime& rt = runtime();
    rt.current_file = util::cut(util::rtrim(util::TRIMF(name)), kNameWidth);
    if (util::all_blank(rt.current_file)) {
        rt.console.end_line();
        rt.console.line("Empty filename specified.  Bailing out.  Contact ZKH.");
        run_time_pause("Press Enter to Close");
        rt.console.flush();
        throw RunStop{kStatusStopped};
    }
    const int free_unit = rt.units.lowest_free();
    if (free_unit == 0) run_time_stop("No free file numbers.");
    unit = free_unit;
    OPENUNIT(unit, rt.current_file, type, opener);
    rt.units.set_in_use(free_unit, unit != 0);
}

namespace {

// The name is that of a file this program holds open, and the code is not
// "I ": asks whether to close it. False when the user declines (a new name is
// then asked for).
bool close_holder_if_asked(int holder, const std::string& shown) {
    Runtime& rt = runtime();
    Console& con = rt.console;
    con.end_line();
    con.put(shown + " is already open, close it? ");
    std::string answer;
    if (!con.read_line(answer)) input_ended("an answer to the close question");
    const char c = answer.empty() ? ' ' : answer.front();
    if (c != 'Y' && c != 'y') return false;
    // The unit found is closed; its pool slot keeps its mark.
    std::string why;
    if (!rt.units.disconnect(holder, &why)) run_time_stop("  Unable to close file.");
    return true;
}

// Connects an input that exists; false, after the CHECK line, when it cannot be found.
bool open_input(int unit, const std::string& shown, InputOpener opener) {
    Runtime& rt = runtime();
    Console& con = rt.console;
    if (!io::file_exists(shown)) {
        con.end_line();
        con.line("CHECK - \"" + shown + "\" cannot be found");
        return false;
    }
    std::string note;
    auto f = open_lines(shown, opener, note);
    f->on_replacement([&rt, shown] {
        if (rt.replacement_warned) return;
        rt.replacement_warned = true;
        show_message(1, "WARNING - Characters of \"" + shown + "\" that Windows-1252 cannot hold were replaced by \"?\".");
    });
    rt.units.connect(unit, shown, std::move(f));
    con.line("OK.");
    con.line("Opened File Unit:" + unit_field(unit));
    if (!note.empty()) con.line(note);
    return true;
}

// Connects an output, pausing and trying again until it can be created; an
// append file that cannot be opened gives unit 0 at once.
void open_output(int& unit, const std::string& shown, bool append) {
    Runtime& rt = runtime();
    Console& con = rt.console;
    const std::string key = io::open_file_key(shown);
    // Layers and 12d ASCII files go to the disk before they take their names.
    // The .csv profiles of -xs do not: a run writes thousands, and flushing
    // each one made the run 15 times as long.
    const bool to_disk = util::FILEEXT(shown) != ".csv";
    for (;;) {
        std::string why;
        auto f = io::OutputFile::create(shown, append, &why, to_disk);
        // What the output would replace is known once it is created (a stop
        // drops it again); only an output that cannot be is looked up here.
        refuse_run_input(shown, f ? io::FileKey{key, f->identity()} : io::file_key(shown));
        if (f) {
            rt.units.connect(unit, shown, std::move(f));
            con.line("OK.  File Unit:" + unit_field(unit));
            return;
        }
        if (append) {
            con.line("FAILED.  No File Unit allocated.");
            unit = 0;
            return;
        }
        con.line("Can't Open");
        con.line(" ");
        con.line(" Can't open: " + shown);
        con.line(" ");
        con.line(" Another application or user maybe using it,");
        con.line("    or the file's folder does not exist.");
        con.line(" If so, close the file or create file path.");
        con.line("CHECK - \"" + shown + "\" cannot be created: " + why);
        if (!retry_prompt()) input_ended("the output file to become writable");
    }
}

// Asks for another name; an empty answer tries the same name again.
void ask_for_name(std::string& name) {
    Console& con = runtime().console;
    con.end_line();
    con.put("Check file exists and press enter or enter another file name: ");
    std::string answer;
    if (!con.read_line(answer)) input_ended("a file name");
    answer = std::string(util::cut(answer, kAnswerWidth));
    if (util::all_blank(answer)) {
        con.end_line();
        con.line("No file name entered.  Trying file again...");
    } else {
        name = util::rtrim(util::TRIMF(answer));
    }
}

}  // namespace

void OPENUNIT(int& unit, std::string& name, std::string_view type, InputOpener opener) {
    Runtime& rt = runtime();
    Console& con = rt.console;
    for (;;) {  // each pass is one attempt with the name as it now stands
        util::CLEANPATH(name);
        const std::string shown(util::rtrim(name));
        con.end_line();
        con.put("Trying to open file " + shown + "...");

        const int holder = rt.units.unit_holding(shown);
        const bool declined = holder != 0 && type != "I " && !close_holder_if_asked(holder, shown);
        if (declined) {
            ask_for_name(name);
            continue;
        }
        if (is_input_code(type)) {
            if (open_input(unit, shown, opener != nullptr ? opener : open_plain_file)) return;
            ask_for_name(name);
        } else if (is_output_code(type)) {
            open_output(unit, shown, type == "A ");
            return;
        } else if (type == "IO") {
            std::string note;
            rt.units.connect(unit, shown, open_lines(shown, open_plain_file, note));
            return;
        } else {
            std::string padded(util::cut(shown, kAnswerWidth));
            padded.resize(kAnswerWidth, ' ');
            con.line("  Unrecognised file type " + std::string(type) + " file " + padded);
            return;
        }
    }
}

void CLOSER(int unit) {
    Runtime& rt = runtime();
    if (unit < UnitPool::kFirstUnit || unit >= UnitPool::kFirstUnit + UnitPool::kSlots) return;
    if (rt.units.in_use(unit)) {
        std::string name;
        std::string why;
        const bool ok = rt.units.disconnect(unit, &why, &name);
        rt.console.line("...Closed File Unit:" + unit_field(unit));
        rt.units.set_in_use(unit, false);
        if (!ok) stop_unwritten(name, why);
        return;
    }
    rt.units.set_in_use(unit, false);
}

void close_open_outputs() {
    std::string name;
    std::string why;
    if (!runtime().units.close_outputs(name, why)) stop_unwritten(name, why);
}

int LENSL(char* text, int length) {
    int n = length;
    while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\0')) --n;
    // An empty text stays as it is: there is nothing to terminate.
    if (n > 0 && n < length) text[n] = '\0';
    return n;
}

}  // namespace velmorak::services
