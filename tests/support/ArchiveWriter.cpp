// SPDX-License-Identifier: GPL-2.0-or-later
#include "ArchiveWriter.h"

#include "TempDir.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace {

struct WriterFree {
    void operator()(struct archive* handle) const { archive_write_free(handle); }
};
struct EntryFree {
    void operator()(archive_entry* entry) const { archive_entry_free(entry); }
};

la_ssize_t appendTo(struct archive*, void* target, const void* bytes, size_t length)
{
    static_cast<std::string*>(target)->append(static_cast<const char*>(bytes), length);
    return static_cast<la_ssize_t>(length);
}

void check(struct archive* handle, int status)
{
    if (status < ARCHIVE_WARN)
        throw std::runtime_error(archive_error_string(handle) ? archive_error_string(handle) : "libarchive failed");
}

void setFormat(struct archive* handle, const std::string& format)
{
    if (format == "zip")
        check(handle, archive_write_set_format_zip(handle));
    else if (format == "7z")
        check(handle, archive_write_set_format_7zip(handle));
    else
        check(handle, archive_write_set_format_pax_restricted(handle));
    if (format == "tar.gz")
        check(handle, archive_write_add_filter_gzip(handle));
    else if (format == "tar.xz")
        check(handle, archive_write_add_filter_xz(handle));
}

void writeItem(struct archive* handle, const ArchiveItem& item)
{
    std::unique_ptr<archive_entry, EntryFree> entry(archive_entry_new());
    archive_entry_set_pathname(entry.get(), item.path.c_str());
    archive_entry_set_perm(entry.get(), 0644);
    archive_entry_set_mtime(entry.get(), 1700000000, 0);
    if (item.kind == ArchiveItem::directory) {
        archive_entry_set_filetype(entry.get(), AE_IFDIR);
    } else if (item.kind == ArchiveItem::symlink) {
        archive_entry_set_filetype(entry.get(), AE_IFLNK);
        archive_entry_set_symlink(entry.get(), item.bytes.c_str());
    } else {
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(item.zeros ? item.zeros : item.bytes.size()));
    }
    check(handle, archive_write_header(handle, entry.get()));
    if (item.kind != ArchiveItem::file)
        return;
    if (!item.zeros) {
        if (!item.bytes.empty())
            check(handle, static_cast<int>(std::min<la_ssize_t>(
                              archive_write_data(handle, item.bytes.data(), item.bytes.size()), 0)));
        return;
    }
    const std::string piece(1 << 20, '\0');
    for (std::uint64_t left = item.zeros; left > 0;) {
        const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(left, piece.size()));
        if (archive_write_data(handle, piece.data(), length) < 0)
            check(handle, ARCHIVE_FATAL);
        left -= length;
    }
}

}

std::string makeArchive(const std::string& format, const std::vector<ArchiveItem>& items)
{
    std::string bytes;
    std::unique_ptr<struct archive, WriterFree> handle(archive_write_new());
    setFormat(handle.get(), format);
    archive_write_set_bytes_in_last_block(handle.get(), 1);
    check(handle.get(), archive_write_open(handle.get(), &bytes, nullptr, appendTo, nullptr));
    for (const ArchiveItem& item : items)
        writeItem(handle.get(), item);
    check(handle.get(), archive_write_close(handle.get()));
    return bytes;
}

std::vector<ArchiveItem> folderItems(const std::string& folder)
{
    std::vector<ArchiveItem> items;
    for (const auto& file : std::filesystem::recursive_directory_iterator(folder))
        if (file.is_regular_file())
            items.push_back({std::filesystem::relative(file.path(), folder).generic_string(), readFile(file.path().string())});
    std::sort(items.begin(), items.end(), [](const ArchiveItem& a, const ArchiveItem& b) { return a.path < b.path; });
    return items;
}
