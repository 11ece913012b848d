#pragma once
// Reads a byte source ahead of its reader on a second thread, one block at a
// time into a small ring of fixed buffers (4 of 1 MiB), so that producing the
// bytes overlaps with using them. It serves archive members: on one thread,
// zlib inflating a large member takes about as long as the whole conversion
// of the unpacked file. The worker is the only caller of the inner source
// while it runs; the reader sees the same bytes, end and error it would see
// from the inner source itself, and rewind() stops the worker and starts the
// inner source again. Where no thread can be started the inner source is read
// directly.
#include <memory>

#include "io/byte_source.h"

namespace velmorak::io {

std::unique_ptr<ByteSource> read_ahead(std::unique_ptr<ByteSource> inner);

}  // namespace velmorak::io
