// The PackBits coder of TIFF strips (Compression 32773), for rows of any
// format: it codes bytes. A row is coded as runs (a count byte 1 - n, then
// the byte repeated n times, n from 2 to 128) and literals (a count byte
// n - 1, then n bytes, n from 1 to 128), which never cross the row's end. A
// row's code thus depends on its bytes alone: the coder carries nothing from
// band to band, and a strip can end after any row.
//
// Which bytes go into literals follows libtiff's coder, so that our strips
// are byte for byte those libtiff makes of the same rows: a literal takes
// single bytes up to 128; a run of two bytes between a literal and a single
// byte joins the literal while the literal has room for both (as a run it
// would cost a count byte, and another for the literal after it); every
// other run of two or more bytes is a run, cut into runs of 128 from its
// start, a last single byte beginning a literal.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "tiff/code_sink.h"

// The most one literal or run takes in the code buffer: the coder flushes
// the buffer when less than this is left, so the buffer must hold as much.
inline constexpr uint32_t kPackBitsUnitBytes = 129;

// Codes `rowCount` rows of `rowBytes` bytes each, one after the other at
// `rows`, into `out`. Returns the sink's status, or StatusWriteFailed when
// `out` holds less than kPackBitsUnitBytes.
PluginStatus EncodePackBits(const uint8_t* rows, uint64_t rowBytes, uint32_t rowCount, CodeBuffer& out);
