/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* What libhivex needs of the system that mingw-w64 lacks or has otherwise:
   iconv (iconv.h), over Windows' own conversions for UTF-16, and an open()
   that takes UTF-8 names (config.h). Part of the library as built for
   Windows, under its licence. */
#include "iconv.h"

#include <windows.h>
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <limits.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

int corvane_hivex_open(const char *name, int flags, ...);

enum conversion { latin1ToUtf8 = 1, utf8ToLatin1, utf16leToUtf8, utf8ToUtf16le, conversions };

static int sameName(const char *a, const char *b)
{
    for (; *a && *b; ++a, ++b)
        if ((*a >= 'a' && *a <= 'z' ? *a - 32 : *a) != (*b >= 'a' && *b <= 'z' ? *b - 32 : *b))
            return 0;
    return *a == *b;
}

iconv_t iconv_open(const char *to, const char *from)
{
    static const char *const pairs[][2] = {
        {"UTF-8", "LATIN1"}, {"LATIN1", "UTF-8"}, {"UTF-8", "UTF-16LE"}, {"UTF-16LE", "UTF-8"}};
    for (size_t i = 0; i < sizeof pairs / sizeof pairs[0]; ++i)
        if (sameName(to, pairs[i][0]) && sameName(from, pairs[i][1]))
            return (iconv_t)(intptr_t)(latin1ToUtf8 + i);
    errno = EINVAL;
    return (iconv_t)-1;
}

int iconv_close(iconv_t cd)
{
    (void)cd;
    return 0;
}

/* UTF-8 as UTF-16 units, in a new buffer of *units; NULL with errno set. */
static wchar_t *wideOfUtf8(const char *in, size_t length, int *units)
{
    *units = length ? MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, in, (int)length, NULL, 0) : 0;
    if (length && *units == 0) {
        errno = EILSEQ;
        return NULL;
    }
    wchar_t *wide = malloc(((size_t)*units + 1) * sizeof *wide);
    if (!wide)
        errno = ENOMEM;
    else if (length)
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, in, (int)length, wide, *units);
    return wide;
}

/* UTF-16LE bytes as UTF-8, in a new buffer of *size bytes. A unit or a
   surrogate pair cut off at the end is EINVAL, as glibc has it. */
static char *utf8OfUtf16(const char *in, size_t length, size_t *size)
{
    const int units = (int)(length / 2);
    wchar_t *wide = malloc(((size_t)units + 1) * sizeof *wide);
    if (!wide) {
        errno = ENOMEM;
        return NULL;
    }
    memcpy(wide, in, (size_t)units * 2);  /* the hive's bytes need not be aligned */
    if (length % 2 || (units && wide[units - 1] >= 0xD800 && wide[units - 1] < 0xDC00)) {
        free(wide);
        errno = EINVAL;
        return NULL;
    }
    const int bytes = units ? WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, units, NULL, 0, NULL, NULL) : 0;
    char *out = units && bytes == 0 ? NULL : malloc((size_t)bytes + 1);
    if (out && units)
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, units, out, bytes, NULL, NULL);
    free(wide);
    if (!out)
        errno = units && bytes == 0 ? EILSEQ : ENOMEM;
    *size = (size_t)bytes;
    return out;
}

/* The input converted, in a new buffer of *size bytes; NULL with errno set. */
static char *converted(enum conversion kind, const char *in, size_t length, size_t *size)
{
    if (length > INT_MAX / 4) {
        errno = ENOMEM;
        return NULL;
    }
    if (kind == utf16leToUtf8)
        return utf8OfUtf16(in, length, size);
    char *out = NULL;
    if (kind == latin1ToUtf8) {
        out = malloc(2 * length + 1);
        *size = 0;
        for (size_t i = 0; out && i < length; ++i) {
            const unsigned char c = (unsigned char)in[i];
            if (c >= 0x80)
                out[(*size)++] = (char)(0xC0 | c >> 6);
            out[(*size)++] = (char)(c < 0x80 ? c : 0x80 | (c & 0x3F));
        }
        if (!out)
            errno = ENOMEM;
        return out;
    }
    int units = 0;
    wchar_t *wide = wideOfUtf8(in, length, &units);
    if (!wide)
        return NULL;
    out = malloc(2 * (size_t)units + 1);
    *size = kind == utf8ToUtf16le ? 2 * (size_t)units : (size_t)units;
    for (int i = 0; out && i < units; ++i) {
        if (kind == utf8ToUtf16le) {
            out[2 * i] = (char)(wide[i] & 0xFF);
            out[2 * i + 1] = (char)(wide[i] >> 8);
        } else if (wide[i] <= 0xFF) {
            out[i] = (char)wide[i];
        } else {  /* not in Latin-1 */
            free(out);
            free(wide);
            errno = EILSEQ;
            return NULL;
        }
    }
    free(wide);
    if (!out)
        errno = ENOMEM;
    return out;
}

size_t iconv(iconv_t cd, char **in, size_t *inLeft, char **out, size_t *outLeft)
{
    const intptr_t kind = (intptr_t)cd;
    if (kind < latin1ToUtf8 || kind >= conversions) {
        errno = EBADF;
        return (size_t)-1;
    }
    if (!in || !*in)
        return 0;
    size_t size = 0;
    char *result = converted((enum conversion)kind, *in, *inLeft, &size);
    if (!result)
        return (size_t)-1;
    if (size > *outLeft) {
        free(result);
        errno = E2BIG;
        return (size_t)-1;
    }
    memcpy(*out, result, size);
    free(result);
    *in += *inLeft;
    *inLeft = 0;
    *out += size;
    *outLeft -= size;
    return 0;
}

static int errnoOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return EACCES;
    case ERROR_NOT_ENOUGH_MEMORY:
        return ENOMEM;
    default:
        return EIO;
    }
}

int corvane_hivex_open(const char *name, int flags, ...)
{
    int units = 0;
    wchar_t *wide = wideOfUtf8(name, strlen(name), &units);
    if (!wide)
        return -1;
    wide[units] = L'\0';
    int descriptor = -1;
    if (flags & (O_WRONLY | O_RDWR)) {  /* writing a hive back: as the C library opens */
        int mode = 0;
        if (flags & O_CREAT) {
            va_list arguments;
            va_start(arguments, flags);
            mode = va_arg(arguments, int);
            va_end(arguments);
        }
        descriptor = _wopen(wide, flags, mode);
    } else {
        const HANDLE file = CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file == INVALID_HANDLE_VALUE)
            errno = errnoOf(GetLastError());
        else if ((descriptor = _open_osfhandle((intptr_t)file, _O_RDONLY | _O_BINARY)) < 0)
            CloseHandle(file);
    }
    free(wide);
    return descriptor;
}
