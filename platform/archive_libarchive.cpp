// SPDX-License-Identifier: GPL-2.0-or-later
// Archives read through libarchive (Debian's libarchive-dev): the formats
// and filters of archiveReader.h alone, each entry's data inflated only
// when asked for, or passed over, counted against the archive's budget.
#include "archiveReader.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <array>
#include <vector>

namespace archives {

namespace {

struct ArchiveFree {
    void operator()(struct archive* handle) const { archive_read_free(handle); }
};
using ArchiveHandle = std::unique_ptr<struct archive, ArchiveFree>;

// The libarchive handle of the formats and filters read here. Zip is read
// as a stream of its entries, not through its central directory: memory
// stays the same however many entries it names.
ArchiveHandle newHandle()
{
    ArchiveHandle handle(archive_read_new());
    if (!handle)
        throw std::bad_alloc();
    struct archive* a = handle.get();
    archive_read_support_format_cab(a);
    archive_read_support_format_zip_streamable(a);
    archive_read_support_format_7zip(a);
    archive_read_support_format_tar(a);
    archive_read_support_filter_gzip(a);
    archive_read_support_filter_xz(a);
    archive_read_support_filter_bzip2(a);
    return handle;
}

// A file read from its start up to the size it had when opened, by the
// callbacks libarchive reads through; 7z needs the seeking.
struct FileSource {
    std::FILE* file;
    std::uint64_t size;
    std::uint64_t position = 0;
    std::vector<char> buffer = std::vector<char>(64 * 1024);

    bool moveTo(std::uint64_t to)
    {
#ifdef _WIN32
        const bool moved = _fseeki64(file, static_cast<__int64>(to), SEEK_SET) == 0;
#else
        const bool moved = fseeko(file, static_cast<off_t>(to), SEEK_SET) == 0;
#endif
        if (moved)
            position = to;
        return moved;
    }

    static la_ssize_t read(struct archive*, void* self, const void** block)
    {
        auto& source = *static_cast<FileSource*>(self);
        const auto wanted = static_cast<std::size_t>(
            std::min<std::uint64_t>(source.buffer.size(), source.size - std::min(source.size, source.position)));
        const std::size_t got = std::fread(source.buffer.data(), 1, wanted, source.file);
        if (got < wanted && std::ferror(source.file))
            return -1;
        source.position += got;
        *block = source.buffer.data();
        return static_cast<la_ssize_t>(got);
    }

    static la_int64_t skip(struct archive*, void* self, la_int64_t request)
    {
        auto& source = *static_cast<FileSource*>(self);
        const std::uint64_t to = std::min(source.size, source.position + static_cast<std::uint64_t>(std::max<la_int64_t>(request, 0)));
        const std::uint64_t from = source.position;
        return source.moveTo(to) ? static_cast<la_int64_t>(to - from) : 0;
    }

    static la_int64_t seek(struct archive*, void* self, la_int64_t offset, int whence)
    {
        auto& source = *static_cast<FileSource*>(self);
        const la_int64_t base = whence == SEEK_SET   ? 0
                                : whence == SEEK_CUR ? static_cast<la_int64_t>(source.position)
                                                     : static_cast<la_int64_t>(source.size);
        const la_int64_t to = base + offset;
        if (to < 0 || static_cast<std::uint64_t>(to) > source.size || !source.moveTo(static_cast<std::uint64_t>(to)))
            return ARCHIVE_FATAL;
        return to;
    }
};

class LibarchiveReader : public Reader {
public:
    LibarchiveReader(ArchiveHandle handle, std::unique_ptr<FileSource> source, std::uint64_t size)
        : handle(std::move(handle)), source(std::move(source)), budget(inflationBudget(size))
    {
    }

    std::optional<Entry> next() override;
    DataResult read(std::string& bytes, std::uint64_t limit) override;
    DataResult stream(const std::function<bool(std::string_view piece)>& piece) override;
    const std::string& reason() const override { return why; }
    bool overBudget() const override { return spent; }

private:
    // Each block of the current entry's data to `each` until it ends, fails,
    // the budget is spent or `each` returns false.
    template <typename Each>
    DataResult blocks(Each each);
    bool passOver();
    void stop(const std::string& reason);
    std::uint64_t inflatedSoFar() const;

    ArchiveHandle handle;
    std::unique_ptr<FileSource> source;  // null for an archive in memory
    std::uint64_t budget;
    std::uint64_t inflated = 0;  // of entries' data, read or passed over
    bool pending = false;        // the current entry's data not read yet
    bool cheapSkip = false;      // and passing it over inflates nothing
    bool ended = false;
    bool spent = false;
    std::string why;
};

void LibarchiveReader::stop(const std::string& reason)
{
    ended = true;
    pending = false;
    if (why.empty())
        why = reason;
}

// A tar compressed as a whole inflates its headers too: its stream's
// position counts.
std::uint64_t LibarchiveReader::inflatedSoFar() const
{
    const la_int64_t stream = archive_filter_count(handle.get()) > 1 ? archive_filter_bytes(handle.get(), 0) : 0;
    return std::max(inflated, static_cast<std::uint64_t>(std::max<la_int64_t>(stream, 0)));
}

template <typename Each>
DataResult LibarchiveReader::blocks(Each each)
{
    pending = false;
    for (;;) {
        const void* block = nullptr;
        std::size_t size = 0;
        la_int64_t offset = 0;
        const int status = archive_read_data_block(handle.get(), &block, &size, &offset);
        if (status == ARCHIVE_EOF)
            return DataResult::read;
        if (status == ARCHIVE_FATAL) {
            stop(archive_error_string(handle.get()) ? archive_error_string(handle.get()) : "damaged");
            return DataResult::failed;
        }
        if (status < ARCHIVE_WARN)
            return DataResult::failed;
        inflated += size;
        if (inflatedSoFar() > budget) {
            spent = true;
            stop("it inflates past a hundred times its size");
            return DataResult::stopped;
        }
        if (!each(static_cast<const char*>(block), size, offset))
            return DataResult::stopped;
    }
}

bool LibarchiveReader::passOver()
{
    if (!pending)
        return !ended;
    if (cheapSkip) {
        pending = false;
        if (archive_read_data_skip(handle.get()) == ARCHIVE_FATAL)
            stop(archive_error_string(handle.get()) ? archive_error_string(handle.get()) : "damaged");
        return !ended;
    }
    blocks([](const char*, std::size_t, la_int64_t) { return true; });
    return !ended;
}

std::optional<Entry> LibarchiveReader::next()
{
    if (!passOver())
        return std::nullopt;
    struct archive_entry* header = nullptr;
    int status = archive_read_next_header(handle.get(), &header);
    for (int retries = 0; status == ARCHIVE_RETRY && retries < 3; ++retries)
        status = archive_read_next_header(handle.get(), &header);
    if (status == ARCHIVE_EOF) {
        ended = true;
        return std::nullopt;
    }
    if (status < ARCHIVE_WARN || !header) {
        stop(archive_error_string(handle.get()) ? archive_error_string(handle.get()) : "damaged");
        return std::nullopt;
    }
    if (inflatedSoFar() > budget) {
        spent = true;
        stop("it inflates past a hundred times its size");
        return std::nullopt;
    }
    const char* name = archive_entry_pathname_utf8(header);
    if (!name)
        name = archive_entry_pathname(header);
    Entry entry = entryNamed(name ? name : "", archive_entry_filetype(header) == AE_IFREG);
    pending = true;
    const int format = archive_format(handle.get()) & ARCHIVE_FORMAT_BASE_MASK;
    cheapSkip = (format == ARCHIVE_FORMAT_ZIP && archive_entry_size_is_set(header)) ||
                (format == ARCHIVE_FORMAT_TAR && archive_filter_count(handle.get()) <= 1);
    return entry;
}

DataResult LibarchiveReader::read(std::string& bytes, std::uint64_t limit)
{
    bytes.clear();
    if (!pending)
        return DataResult::failed;
    bool tooLarge = false;
    const DataResult result = blocks([&](const char* block, std::size_t size, la_int64_t offset) {
        const auto at = static_cast<std::uint64_t>(std::max<la_int64_t>(offset, 0));
        if (at > limit || size > limit - at) {
            tooLarge = true;
            return false;
        }
        if (at > bytes.size())
            bytes.resize(static_cast<std::size_t>(at));  // a hole of a sparse entry
        bytes.replace(static_cast<std::size_t>(at), std::min(bytes.size() - static_cast<std::size_t>(at), size),
                      block, size);
        return true;
    });
    if (result != DataResult::read) {
        bytes.clear();
        bytes.shrink_to_fit();
    }
    if (tooLarge) {
        passOver();  // what is left, against the budget
        return ended && spent ? DataResult::stopped : DataResult::tooLarge;
    }
    return result;
}

DataResult LibarchiveReader::stream(const std::function<bool(std::string_view piece)>& piece)
{
    if (!pending)
        return DataResult::failed;
    return blocks([&](const char* block, std::size_t size, la_int64_t) { return piece(std::string_view(block, size)); });
}

std::unique_ptr<Reader> opened(ArchiveHandle handle, std::unique_ptr<FileSource> source, std::uint64_t size,
                               int status, std::string& problem)
{
    if (status != ARCHIVE_OK) {
        const char* error = archive_error_string(handle.get());
        problem = error ? error : "not an archive read here";
        return nullptr;
    }
    return std::make_unique<LibarchiveReader>(std::move(handle), std::move(source), size);
}

}

bool supported()
{
    return true;
}

std::unique_ptr<Reader> openFile(std::FILE* file, std::uint64_t size, std::string& problem)
{
    ArchiveHandle handle = newHandle();
    auto source = std::make_unique<FileSource>();
    source->file = file;
    source->size = size;
    if (!source->moveTo(0)) {
        problem = "it cannot be read from its start";
        return nullptr;
    }
    struct archive* a = handle.get();
    archive_read_set_callback_data(a, source.get());
    archive_read_set_read_callback(a, FileSource::read);
    archive_read_set_skip_callback(a, FileSource::skip);
    archive_read_set_seek_callback(a, FileSource::seek);
    const int status = archive_read_open1(a);
    return opened(std::move(handle), std::move(source), size, status, problem);
}

std::unique_ptr<Reader> openBytes(std::string_view bytes, std::string& problem)
{
    ArchiveHandle handle = newHandle();
    const int status = archive_read_open_memory(handle.get(), bytes.data(), bytes.size());
    return opened(std::move(handle), nullptr, bytes.size(), status, problem);
}

}
