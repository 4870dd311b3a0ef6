// The JPEG coder of TIFF strips (Compression 7): 8-bit grey, or 24-bit RGB
// stored as YCbCr with the chroma halved both ways (2x2 subsampling).
//
// The page's quantisation and Huffman tables are one abbreviated
// tables-only stream (SOI, DQT, DHT, EOI) that the directory holds
// as JPEGTables; every strip is an abbreviated image stream (SOI, SOF, SOS,
// its data, EOI) that refers to them and carries none. A strip is a whole
// number of MCU rows (16 rows for subsampled colour, 8 for grey); the last
// one holds what is left.
//
// Rows come band by band in any band height. A strip's frame header names
// its height, so a strip is coded once its last row is in, or at the page's
// end (the host may end a page early): a band's whole strips are coded
// straight from the band, the rows of a strip it leaves unfinished wait in a
// caller-owned strip buffer. Memory is that buffer, a caller-owned code
// buffer, and libjpeg's own state, which is sized by the width alone.
//
// A caller that lends a side thread (JpegSideThread) has the whole strips of
// a band coded on two cores: the calling thread takes them one by one from
// the front and codes them straight to the sink, the side thread takes them
// from the back, with a libjpeg state of its own set up exactly as the
// first, into a side code buffer that is handed to the sink once the two
// meet. A band that ends on a strip's end leaves its last strip to the side
// thread: its rows are copied to the strip buffer (idle then), the side codes
// them while the caller reads the next band, and the code goes to the sink
// first thing at the next call (CodeRows or Finish). A strip's code depends
// on its rows alone, so a band too small to share, a thread that cannot be had or is not run in time (a busy machine:
// the calling thread then takes every strip), or a side code buffer too small
// for a strip (coded again by the calling thread) changes the time taken,
// never the bytes. Only the calling thread calls the sink.
//
// libjpeg reports errors by a jump out of its calls; that jump never crosses
// a C++ frame with anything to destroy: it ends in the guard around each
// call, which turns it into a status. After a failure the coder refuses
// everything until it is begun again.
#pragma once

#include <cstdint>

#include "base/setting_values.h"
#include "base/status.h"
#include "tiff/code_sink.h"

struct JpegCoderState;

// libjpeg's largest image dimension: wider pages cannot be JPEG pages.
inline constexpr uint32_t kMaxJpegWidth = 65500;
// Rows of a strip: two MCU rows of grey, one of subsampled colour, as
// libtiff's tools write with `-r 16`. A strip's frame costs some 40 bytes.
inline constexpr uint32_t kDefaultJpegStripRows = 16;
// The largest strip the coder takes: its rows are held in memory.
inline constexpr uint32_t kMaxJpegStripRows = 1024;
// The tables of both colour kinds fit this (RGB: 574 bytes, grey: 289).
inline constexpr uint32_t kMaxJpegTablesBytes = 640;
// Bytes the code buffer must hold at least.
inline constexpr uint32_t kMinJpegCodeBufferBytes = 1024;

struct JpegPageShape {
    uint32_t width;
    uint32_t samplesPerPixel;  // 1 grey, 3 RGB
    uint32_t quality;          // 1 to 100
    uint32_t rowsPerStrip;     // a whole number of MCU rows, at most kMaxJpegStripRows
};

// Rows of one MCU: 16 for subsampled colour, 8 for grey.
uint32_t JpegMcuRows(uint32_t samplesPerPixel);
// Rows per strip of a page `width` pixels wide: kDefaultJpegStripRows, or
// on a page so wide that they would hold more than kStripRawBytesLimit
// bytes (image_format.h), as many whole MCU rows as do, at least one.
uint32_t JpegStripRows(uint32_t width, uint32_t samplesPerPixel);
// StatusOk for a shape the coder takes; StatusUnsupportedImage for samples
// other than 1 or 3 or a width beyond kMaxJpegWidth; StatusBadRecord for a
// zero width, a quality outside 1-100 or rows per strip that are not a
// whole number of MCU rows up to kMaxJpegStripRows.
PluginStatus CheckJpegShape(const JpegPageShape& shape);
// Bytes of one strip's rows: the strip buffer the caller provides.
uint64_t JpegStripBufferBytes(const JpegPageShape& shape);

// Where the strips go: their bytes in order, and the size of each strip as
// it ends. A strip's bytes may still lie in the code buffer when its end is
// reported; they are all handed on before the coder's call returns.
class JpegStripSink : public CodeSink {
public:
    virtual PluginStatus EndStrip(uint32_t stripBytes) = 0;

protected:
    ~JpegStripSink() = default;
};

// A thread the caller lends the coder, one piece of work at a time: this
// folder starts no thread of its own.
class JpegSideThread {
public:
    // Starts `work(context)` beside the caller; false when no thread can be
    // had (the coder then does the work itself).
    virtual bool Start(void (*work)(void*), void* context) = 0;
    // Ends the work started last: waits for it when it has begun, and makes
    // sure it never begins when it has not (a busy machine may not have run
    // the thread yet), so that `context` is free once this returns.
    virtual void Finish() = 0;

protected:
    ~JpegSideThread() = default;
};

// The memory the caller owns and keeps until the coder is released.
struct JpegCoderMemory {
    uint8_t* stripRows;  // JpegStripBufferBytes(shape)
    uint64_t stripRowsBytes;
    uint8_t* code;  // at least kMinJpegCodeBufferBytes
    uint32_t codeBytes;
    // Optional, both or neither: the side thread and its code buffer (at
    // least kMinJpegCodeBufferBytes); without them one thread codes all.
    JpegSideThread* side;
    uint8_t* sideCode;
    uint32_t sideCodeBytes;
};

class JpegStripCoder {
public:
    JpegStripCoder() = default;
    JpegStripCoder(const JpegStripCoder&) = delete;
    JpegStripCoder& operator=(const JpegStripCoder&) = delete;
    ~JpegStripCoder() { Release(); }

    // Begins a page: libjpeg's state, and the page's tables. The shape's
    // status (CheckJpegShape), StatusBadRecord for memory smaller than the
    // shape needs, StatusNoMemory when libjpeg's state cannot be had.
    PluginStatus Begin(const JpegPageShape& shape, const JpegCoderMemory& memory);
    // Takes `rowCount` rows of width * samplesPerPixel bytes (R, G, B or
    // grey), `rowStride` bytes apart, and codes every strip they complete.
    // StatusBadSequence before Begin or after a failure, StatusBadRecord for
    // rows less than a row's bytes apart or a page of 2^32 rows or more,
    // StatusNoMemory when libjpeg runs out of memory, StatusWriteFailed for
    // any other error of libjpeg's, or the sink's status.
    PluginStatus CodeRows(const uint8_t* rows, uint32_t rowCount, uint64_t rowStride, JpegStripSink& sink);
    // Codes the rows still held as the page's last, short strip.
    // StatusBadSequence when no row was taken; else as CodeRows.
    PluginStatus Finish(JpegStripSink& sink);
    // Frees libjpeg's state; the page, if any, unfinished.
    void Release();

    // The JPEGTables stream, from Begin on.
    const uint8_t* tables() const;
    uint32_t tablesBytes() const;
    uint32_t rowsTaken() const { return rowsTaken_; }
    uint32_t stripsEnded() const { return stripsEnded_; }
    uint32_t rowsPerStrip() const { return shape_.rowsPerStrip; }

private:
    PluginStatus CodeStrip(const uint8_t* rows, uint32_t rowCount, uint64_t rowStride, CodeBuffer& out,
                           JpegStripSink& sink);
    // `strips` whole strips straight from the band, on two threads where
    // the coder has a side.
    PluginStatus CodeWholeStrips(const uint8_t* rows, uint32_t strips, uint64_t rowStride, CodeBuffer& out,
                                 JpegStripSink& sink);
    // The side's share of a round, coded beside the calling thread's.
    PluginStatus CodeSharedRound(const uint8_t* rows, uint32_t strips, uint64_t rowStride, CodeBuffer& out,
                                 JpegStripSink& sink);
    // A band's last strip, copied to the strip buffer and coded there by the
    // side thread while the caller goes on; its code goes to the sink at the
    // next call (CollectCarried).
    PluginStatus CarryStrip(const uint8_t* rows, uint64_t rowStride, CodeBuffer& out, JpegStripSink& sink);
    PluginStatus CollectCarried(CodeBuffer& out, JpegStripSink& sink);
    void BeginSide();
    void ReleaseSide();
    PluginStatus Fail(PluginStatus status);

    JpegCoderState* state_ = nullptr;
    JpegCoderState* side_ = nullptr;  // the side thread's libjpeg state, when it has one
    JpegPageShape shape_{};
    JpegCoderMemory memory_{};
    uint64_t rowBytes_ = 0;
    uint32_t rowsHeld_ = 0;  // rows of the strip under way, in memory_.stripRows
    uint32_t rowsTaken_ = 0;
    uint32_t stripsEnded_ = 0;
    bool carried_ = false;  // the side thread holds a strip whose code is not yet handed on
    bool finished_ = false;
};
