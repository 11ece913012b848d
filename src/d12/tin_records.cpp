#include "d12/tin_records.h"

#include <limits>

#include "d12/archive.h"
#include "d12/string_walk.h"
#include "io/system_file.h"
#include "io/utf8_text.h"
#include "services/runtime.h"
#include "services/units.h"

namespace velmorak::d12 {

TinRecords::~TinRecords() = default;

std::unique_ptr<TinRecords> TinRecords::open(const std::string& path, std::string& why,
                                             const StringRecords::OpenBytes& open_plain) {
    std::unique_ptr<TinRecords> records(new TinRecords());
    const bool ran = records->core_.run([&] {
        std::unique_ptr<io::ByteSource> bytes;
        if (open_plain) {
            bytes = open_plain(path, why);
        } else if (is_12da_archive_name(path) && may_be_zip_archive(path)) {
            std::string member;
            bytes = open_12da_archive(path, member, why);
        } else {
            bytes = io::FileSource::open(path, why);
        }
        if (!bytes) return;
        bytes = services::stop_on_read_failure(std::move(bytes), path);
        if (auto text = io::utf8_text(std::move(bytes)))
            records->file_ = io::InputFile::from_source(std::move(text));
        else
            why = "the file cannot be read";
    });
    if (!ran) why = records->core_.stop_text();
    if (!records->file_) return nullptr;
    // Only whole surfaces are wanted: a string is passed over unread, however long.
    records->walk_ = std::make_unique<StringWalk>(*records->file_, std::numeric_limits<std::size_t>::max() - 1);
    return records;
}

TinRecords::Step TinRecords::next(Tin& tin) {
    if (stopped_) return Step::stopped;
    if (ended_) return Step::end;
    bool found = false;
    const bool ran = core_.run([&] {
        walk_->collect_tins(&tin);
        if (!started_) {
            started_ = true;
            if (!walk_->start()) services::run_time_stop();
        }
        while (walk_->next()) {
            if (walk_->is_tin()) {
                found = true;
                return;
            }
        }
    });
    if (!ran) {
        // Damage in a string ends the surfaces quietly: the strings' reader
        // reports it, and a surface after it cannot be reached anyway.
        if (!walk_->is_tin()) {
            ended_ = true;
            return Step::end;
        }
        stopped_ = true;
        stop_line_ = walk_->line_number();
        return Step::stopped;
    }
    return found ? Step::tin : Step::end;
}

bool find_tin(const std::string& path, const std::string& name, Tin& tin, std::string& why,
              const StringRecords::OpenBytes& open_plain) {
    const std::unique_ptr<TinRecords> records = TinRecords::open(path, why, open_plain);
    if (!records) return false;
    for (;;) {
        switch (records->next(tin)) {
            case TinRecords::Step::tin:
                if (tin.name == name) return true;
                break;
            case TinRecords::Step::end: why = "the file holds no surface named \"" + name + "\""; return false;
            case TinRecords::Step::stopped: why = records->stop_text(); return false;
        }
    }
}

}  // namespace velmorak::d12
