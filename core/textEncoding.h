// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_TEXTENCODING_H
#define CORVANE_TEXTENCODING_H

// The encodings registry exports come in, made UTF-8, the program's own text.
#include <cstdint>
#include <string>
#include <string_view>

// Windows-1252, which REGEDIT4 files are read as. The five bytes it leaves
// undefined stand for the control characters of the same number, as Windows
// converts them.
std::string windows1252ToUtf8(std::string_view text);

// UTF-16 in pieces of any size, as a file is read: code units to UTF-8. A
// surrogate without its partner becomes U+FFFD; a lone last byte is dropped.
class Utf16Decoder {
public:
    explicit Utf16Decoder(bool bigEndian) : bigEndian(bigEndian) {}

    void decode(std::string_view bytes, std::string& out);
    // The end of the text: a high surrogate still waiting becomes U+FFFD.
    void finish(std::string& out);

    // The same, written at `to`, which has room(bytes.size()) bytes (3 for
    // finish); each returns the byte after what it wrote.
    char* decode(std::string_view bytes, char* to);
    char* finish(char* to);
    // At most three bytes a code unit (a pair of surrogates makes four of
    // two), and three for a surrogate left waiting by the last piece.
    static std::size_t room(std::size_t bytes) { return 3 * ((bytes + 1) / 2) + 3; }

private:
    // Copies the ASCII units that start `bytes`; how many.
    std::size_t copyAscii(std::string_view bytes, char* to) const;
    // Writes what a code unit makes at `to`; the byte after it.
    char* unit(std::uint32_t code, char* to);

    bool bigEndian;
    bool haveByte = false;
    std::uint32_t firstByte = 0;
    std::uint32_t highSurrogate = 0;
};

// Little-endian UTF-16 held whole (a text value of a Unicode export) as UTF-8.
std::string utf16leToUtf8(std::string_view bytes);

#endif
