// SPDX-License-Identifier: GPL-2.0-or-later
#include "driverFolderIndex.h"

#include "text.h"

#include <algorithm>
#include <limits>
#include <new>

namespace driverIndex {

std::uint32_t index32(std::size_t count)
{
    if (count >= std::numeric_limits<std::uint32_t>::max())
        throw std::bad_alloc();
    return static_cast<std::uint32_t>(count);
}

namespace {

// What tells two files' bytes apart: a keyed hash, so that no file can be
// made to pass for another one.
std::uint64_t contentKey(std::string_view bytes)
{
    return text::keyedHash(bytes) ^ bytes.size() * 0x9E3779B97F4A7C15ull;
}

}

void IndexStore::append(const IndexStore& file)
{
    const std::uint64_t textBase = texts.size();
    const auto packageBase = index32(packages.size()), modelBase = index32(models.size());
    const auto listBase = index32(excludeLists.size() - 1), excludeBase = index32(excludeIds.size());
    packages.insert(packages.end(), file.packages.begin(), file.packages.end());
    for (Model model : file.models) {
        model.descriptionOffset += textBase;
        model.package += packageBase;
        if (model.excludes != noExclusions)
            model.excludes += listBase;
        models.push_back(model);
    }
    for (IdEntry id : file.ids) {
        id.textOffset += textBase;
        id.model += modelBase;
        ids.push_back(id);
    }
    for (std::size_t list = 1; list < file.excludeLists.size(); ++list)
        excludeLists.emplace_back(file.excludeLists[list].first + excludeBase, file.excludeLists[list].second);
    for (TextRef id : file.excludeIds) {
        id.offset += textBase;
        excludeIds.push_back(id);
    }
    texts += file.texts;
}

void IndexStore::sortIds()
{
    const auto byHash = [](const IdEntry& a, const IdEntry& b) { return a.hash < b.hash; };
    const auto sorted = ids.begin() + static_cast<std::ptrdiff_t>(sortedIds);
    std::sort(sorted, ids.end(), byHash);
    std::inplace_merge(ids.begin(), sorted, ids.end(), byHash);
    sortedIds = ids.size();
}

FileIndex FileIndexer::index(std::string_view bytes, std::uint32_t place, const std::string& name)
{
    FileIndex file;
    file.content = contentKey(bytes);
    fileTexts.clear();
    fileTextRefs.clear();
    fileExcludeLists.clear();
    file.store = std::make_unique<IndexStore>();
    IndexStore& store = *file.store;
    file.result = reader.read(
        bytes,
        [&](const InfPackage& header) {
            file.catalogFile = std::string(header.catalogFile);
            store.packages.push_back({place, name, std::string(header.provider), std::string(header.infClass), false});
        },
        [&](const InfModel& model) { addModel(store, model); });
    if (file.result != InfResult::read) {
        file.store.reset();
        return file;
    }
    // Kept until the folder is read: without the room its growth left.
    store.models.shrink_to_fit();
    store.ids.shrink_to_fit();
    store.excludeIds.shrink_to_fit();
    store.texts.shrink_to_fit();
    return file;
}

TextRef FileIndexer::keep(IndexStore& store, std::string_view text)
{
    const std::uint64_t hash = text::keyedHash(text);
    const auto known = fileTexts.find(hash, [&](std::uint32_t item) {
        return store.textAt(fileTextRefs[item].offset, fileTextRefs[item].length) == text;
    });
    if (known)
        return fileTextRefs[*known];
    const TextRef kept{store.texts.size(), static_cast<std::uint16_t>(std::min<std::size_t>(text.size(), 0xFFFF))};
    store.texts.append(text.substr(0, kept.length));
    fileTextRefs.push_back(kept);
    fileTexts.insert(hash, index32(fileTextRefs.size() - 1));
    return kept;
}

std::uint32_t FileIndexer::excludeListOf(IndexStore& store, const InfModel& model)
{
    if (model.install >= fileExcludeLists.size())
        fileExcludeLists.resize(model.install + 1, noExclusions);
    std::uint32_t& list = fileExcludeLists[model.install];
    if (list == noExclusions && !model.excludeIds.empty()) {
        list = index32(store.excludeLists.size());
        store.excludeLists.emplace_back(index32(store.excludeIds.size()), index32(model.excludeIds.size()));
        for (const std::string& id : model.excludeIds)
            store.excludeIds.push_back(keep(store, id));
    }
    return list;
}

void FileIndexer::addModel(IndexStore& store, const InfModel& model)
{
    const TextRef description = keep(store, model.description);
    const std::uint32_t index = index32(store.models.size());
    store.models.push_back({description.offset, index32(store.packages.size() - 1), excludeListOf(store, model),
                            description.length, model.featureScore, model.driver});
    for (std::size_t position = 0; position < model.ids.size(); ++position) {
        const std::string& id = model.ids[position];
        if (id.empty())
            continue;
        const TextRef text = keep(store, id);
        store.ids.push_back({text::keyedFoldedHash(id), text.offset, index, text.length,
                             static_cast<std::uint16_t>(std::min<std::size_t>(position, 0xFFFF))});
    }
}

}
