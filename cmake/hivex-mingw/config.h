/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* libhivex's configuration for Windows with mingw-w64, what its autotools
   build would find out: part of the library as built for Windows, under its
   licence. Every source of the library includes it first. */
#ifndef CORVANE_HIVEX_CONFIG_H
#define CORVANE_HIVEX_CONFIG_H

/* Sizes and offsets of 64 bits: stat() of a hive over 2 GiB. */
#define _FILE_OFFSET_BITS 64

/* No mmap: lib/mmap.c maps the hive with Windows' file mapping. */
#undef HAVE_MMAP

/* No <endian.h>: byte_conversions.h goes by these (x86 is little-endian). */
#define __LITTLE_ENDIAN __ORDER_LITTLE_ENDIAN__
#define __BIG_ENDIAN __ORDER_BIG_ENDIAN__
#define __BYTE_ORDER __BYTE_ORDER__

/* iconv() takes char ** (iconv.h beside this file). */
#define ICONV_CONST

/* A hive's name is UTF-8, as every name the program passes: the library's
   open() is windowsPort.c's, which opens it by its UTF-16 form (the C
   library's open() takes the ANSI code page, which may not hold it), and
   shares deletion, as the program's scratch copies need. */
#define open corvane_hivex_open
int corvane_hivex_open(const char *name, int flags, ...);

#endif
