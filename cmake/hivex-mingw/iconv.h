/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* The iconv libhivex uses, for Windows, where mingw-w64 has none: the four
   conversions it asks for (UTF-16LE and Latin-1 to and from UTF-8), with
   glibc's results and errors. Names of their own, so that no other iconv
   linked into a program meets them. */
#ifndef CORVANE_HIVEX_ICONV_H
#define CORVANE_HIVEX_ICONV_H

#include <stddef.h>

typedef void *iconv_t;

#define iconv_open corvane_iconv_open
#define iconv corvane_iconv
#define iconv_close corvane_iconv_close

/* (iconv_t) -1 and errno EINVAL for any other pair of encodings. */
iconv_t iconv_open(const char *to, const char *from);

/* Converts all of the input or none of it: E2BIG when the output does not
   fit, EILSEQ for an invalid sequence, EINVAL for one cut off at the end;
   the pointers and counts move only when it succeeds. No state is kept
   between calls, so a reset (a null input) does nothing. */
size_t iconv(iconv_t cd, char **in, size_t *inLeft, char **out, size_t *outLeft);

int iconv_close(iconv_t cd);

#endif
