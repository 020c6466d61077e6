// SPDX-License-Identifier: GPL-2.0-or-later
#include "registryHive.h"

namespace registryHive {

namespace {

// The base block's fields, at their offsets.
constexpr std::size_t primarySequenceAt = 0x04, secondarySequenceAt = 0x08, majorVersionAt = 0x14,
                      minorVersionAt = 0x18, fileTypeAt = 0x1C, rootCellAt = 0x24, binsSizeAt = 0x28,
                      checksumAt = 0x1FC;
constexpr std::uint32_t binSize = 4096;  // hive bins come in multiples of it
// Cells are addressed by 31 bits (the 32nd marks volatile ones, never in a file).
constexpr std::uint32_t largestBins = 0x80000000u;

std::uint32_t littleEndian32(std::string_view bytes, std::size_t at)
{
    std::uint32_t number = 0;
    for (std::size_t i = 4; i-- > 0;)
        number = number << 8 | static_cast<unsigned char>(bytes[at + i]);
    return number;
}

// The XOR of the block's first 127 double words, as Windows writes it (it
// avoids 0 and all ones).
bool checksumMatches(std::string_view block)
{
    std::uint32_t sum = 0;
    for (std::size_t at = 0; at < checksumAt; at += 4)
        sum ^= littleEndian32(block, at);
    const std::uint32_t stored = littleEndian32(block, checksumAt);
    const std::uint32_t windows = sum == 0 ? 1 : sum == 0xFFFFFFFF ? 0xFFFFFFFE : sum;
    return stored == sum || stored == windows;
}

}

bool hasSignature(std::string_view head)
{
    return head.substr(0, 4) == "regf";
}

std::optional<BaseBlock> checkBaseBlock(std::string_view head, std::uint64_t fileSize, std::string& problem)
{
    if (!hasSignature(head)) {
        problem = "it does not start with \"regf\"";
        return std::nullopt;
    }
    if (head.size() < baseBlockSize || fileSize < baseBlockSize) {
        problem = "it is cut short within its header";
        return std::nullopt;
    }
    const std::string_view block = head.substr(0, baseBlockSize);
    const std::uint32_t fileType = littleEndian32(block, fileTypeAt);
    if (fileType == 1 || fileType == 2 || fileType == 6) {
        problem = "it is a transaction log (.LOG1, .LOG2), not a hive: open the hive beside it";
        return std::nullopt;
    }
    if (!checksumMatches(block)) {
        problem = "its header is damaged (its checksum does not match)";
        return std::nullopt;
    }
    const std::uint32_t major = littleEndian32(block, majorVersionAt);
    if (major != 1) {
        problem = "its format version " + std::to_string(major) + "." +
                  std::to_string(littleEndian32(block, minorVersionAt)) + " is not one Windows writes";
        return std::nullopt;
    }
    const std::uint32_t binsSize = littleEndian32(block, binsSizeAt);
    if (binsSize == 0 || binsSize % binSize != 0 || littleEndian32(block, rootCellAt) >= binsSize) {
        problem = "its header is damaged (it announces " + std::to_string(binsSize) +
                  " bytes of keys, the first key at " + std::to_string(littleEndian32(block, rootCellAt)) + ")";
        return std::nullopt;
    }
    if (binsSize > largestBins) {
        problem = "its header announces " + std::to_string(binsSize) + " bytes of keys, more than a hive can address";
        return std::nullopt;
    }
    BaseBlock result;
    result.hiveSize = baseBlockSize + std::uint64_t{binsSize};
    if (result.hiveSize > fileSize) {
        problem = "it is cut short: its header announces " + std::to_string(result.hiveSize) +
                  " bytes, the file holds " + std::to_string(fileSize);
        return std::nullopt;
    }
    result.cleanlyClosed = littleEndian32(block, primarySequenceAt) == littleEndian32(block, secondarySequenceAt);
    return result;
}

}
