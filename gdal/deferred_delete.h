#pragma once
// GDAL deletes the file a dataset is about to be created in before the
// driver is asked to create it (GDALDriver::Create calls QuietDelete), so an
// earlier file would be lost before anything of the new one is written, and
// lost for nothing when the writing then fails. The driver's Delete therefore
// only notes a file of the system it is asked to delete: a dataset created
// under that name next replaces it whole when it is complete (the
// temporary-and-rename of io::FileSink) and leaves it as it was when it
// fails; any other use of the driver, and the end of the program, carry the
// deletion out. Files of GDAL's virtual file systems are deleted at once.
#include <string>

namespace velmorak::gdal12 {

// The driver's Delete.
bool delete_later(const std::string& path);
// Takes back the deletion of `path`, which a new dataset now replaces; true when one was noted.
bool take_back_deletion(const std::string& path);
// Carries out every deletion noted.
void carry_out_deletions();

}  // namespace velmorak::gdal12
