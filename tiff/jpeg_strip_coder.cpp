#include "tiff/jpeg_strip_coder.h"

#include "tiff/image_format.h"

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>  // jpeglib.h uses FILE and size_t without declaring them
#include <cstring>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

// libjpeg's state for one page, and where its code goes. Plain data only:
// libjpeg's error jump lands in Guarded with nothing to destroy on its way.
struct JpegCoderState {
    jpeg_compress_struct compressor;
    jpeg_error_mgr errors;
    jpeg_destination_mgr destination;
    std::jmp_buf escape;
    PluginStatus failure;  // why libjpeg's call was left
    bool writingTables;    // the code goes to `tables`, else to `out`
    CodeBuffer* out;       // the caller's code buffer while a strip is coded
    uint64_t stripBytes;   // code of the strip under way
    uint8_t tables[kMaxJpegTablesBytes];
    uint32_t tablesBytes;
};

namespace {

// 16 rows: one MCU row of subsampled colour, two of grey.
constexpr uint32_t kRowsPerCall = 16;

JpegCoderState& StateOf(j_common_ptr compressor) { return *static_cast<JpegCoderState*>(compressor->client_data); }
JpegCoderState& StateOf(j_compress_ptr compressor) { return *static_cast<JpegCoderState*>(compressor->client_data); }

[[noreturn]] void Escape(JpegCoderState& state, PluginStatus status) {
    if (state.failure == StatusOk) state.failure = status;
    std::longjmp(state.escape, 1);
}

// libjpeg's error exit: back to the guard, never exit().
[[noreturn]] void EscapeOnError(j_common_ptr compressor) {
    const bool noMemory = compressor->err->msg_code == JERR_OUT_OF_MEMORY;
    Escape(StateOf(compressor), noMemory ? StatusNoMemory : StatusWriteFailed);
}

// Warnings and traces are nobody's business on a host's machine.
void SayNothing(j_common_ptr) {}

// Runs libjpeg's calls: an error of libjpeg's lands here, as a status. The
// frames between are libjpeg's, this file's callbacks and `call`, none with
// anything to destroy.
template <typename Call>
PluginStatus Guarded(JpegCoderState& state, const Call& call) {
    state.failure = StatusOk;
    if (setjmp(state.escape) != 0) return state.failure;
    call();
    return StatusOk;
}

// The destination: the tables' array, or the caller's code buffer, handed
// to the sink whenever libjpeg fills it.
void StartCode(j_compress_ptr compressor) {
    JpegCoderState& state = StateOf(compressor);
    if (state.writingTables) {
        state.destination.next_output_byte = state.tables;
        state.destination.free_in_buffer = kMaxJpegTablesBytes;
        return;
    }
    CodeBuffer& out = *state.out;
    if (out.used() == out.capacity()) {
        const PluginStatus status = out.Flush();
        if (status != StatusOk) Escape(state, status);
    }
    state.destination.next_output_byte = out.end();
    state.destination.free_in_buffer = out.capacity() - out.used();
}

boolean HandOnFullBuffer(j_compress_ptr compressor) {
    JpegCoderState& state = StateOf(compressor);
    if (state.writingTables) Escape(state, StatusWriteFailed);  // never: the tables have a known size
    CodeBuffer& out = *state.out;
    const uint32_t filled = out.capacity() - out.used();
    out.Advance(filled);
    state.stripBytes += filled;
    const PluginStatus status = out.Flush();
    if (status != StatusOk) Escape(state, status);
    state.destination.next_output_byte = out.bytes();
    state.destination.free_in_buffer = out.capacity();
    return TRUE;
}

void EndCode(j_compress_ptr compressor) {
    JpegCoderState& state = StateOf(compressor);
    if (state.writingTables) {
        state.tablesBytes = static_cast<uint32_t>(state.destination.next_output_byte - state.tables);
        return;
    }
    CodeBuffer& out = *state.out;
    const uint32_t written = static_cast<uint32_t>(state.destination.next_output_byte - out.end());
    out.Advance(written);
    state.stripBytes += written;
}

// A grey page uses one quantisation table and one pair of Huffman tables:
// the others are marked as sent, so that no stream carries them.
void LeaveOutUnusedTables(jpeg_compress_struct& compressor) {
    if (compressor.num_components != 1) return;
    for (int table = 1; table < NUM_QUANT_TBLS; ++table)
        if (compressor.quant_tbl_ptrs[table] != nullptr) compressor.quant_tbl_ptrs[table]->sent_table = TRUE;
    for (int table = 1; table < NUM_HUFF_TBLS; ++table) {
        if (compressor.dc_huff_tbl_ptrs[table] != nullptr) compressor.dc_huff_tbl_ptrs[table]->sent_table = TRUE;
        if (compressor.ac_huff_tbl_ptrs[table] != nullptr) compressor.ac_huff_tbl_ptrs[table]->sent_table = TRUE;
    }
}

// Colour as YCbCr with the chroma halved both ways (the luma 2x2, the chroma
// 1x1), grey as itself; baseline tables (8-bit quantisers) at every quality;
// no JFIF or Adobe marker: the TIFF directory says what the samples are.
void SetUpPage(jpeg_compress_struct& compressor, const JpegPageShape& shape) {
    const bool colour = shape.samplesPerPixel == 3;
    compressor.image_width = shape.width;
    compressor.image_height = shape.rowsPerStrip;
    compressor.input_components = static_cast<int>(shape.samplesPerPixel);
    compressor.in_color_space = colour ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&compressor);
    jpeg_set_colorspace(&compressor, colour ? JCS_YCbCr : JCS_GRAYSCALE);
    if (colour) {
        compressor.comp_info[0].h_samp_factor = 2;
        compressor.comp_info[0].v_samp_factor = 2;
        for (int chroma = 1; chroma < 3; ++chroma) {
            compressor.comp_info[chroma].h_samp_factor = 1;
            compressor.comp_info[chroma].v_samp_factor = 1;
        }
    }
    compressor.dct_method = JDCT_ISLOW;
    compressor.optimize_coding = FALSE;
    compressor.write_JFIF_header = FALSE;
    compressor.write_Adobe_marker = FALSE;
    jpeg_set_quality(&compressor, static_cast<int>(shape.quality), TRUE);
    LeaveOutUnusedTables(compressor);
}

// One strip of `rowCount` rows: an abbreviated image stream.
void CompressStrip(jpeg_compress_struct& compressor, const uint8_t* rows, uint32_t rowCount, uint64_t rowStride) {
    compressor.image_height = rowCount;
    jpeg_start_compress(&compressor, FALSE);  // FALSE: the tables went to JPEGTables
    JSAMPROW pointers[kRowsPerCall];
    for (uint32_t done = 0; done < rowCount;) {
        const uint32_t count = std::min(kRowsPerCall, rowCount - done);
        for (uint32_t i = 0; i < count; ++i)
            pointers[i] = const_cast<JSAMPROW>(rows + static_cast<size_t>(rowStride * (done + i)));
        const JDIMENSION written = jpeg_write_scanlines(&compressor, pointers, count);
        if (written == 0) ERREXIT(&compressor, JERR_CANT_SUSPEND);  // never with this destination: no endless loop
        done += written;
    }
    jpeg_finish_compress(&compressor);
}

}  // namespace

uint32_t JpegMcuRows(uint32_t samplesPerPixel) { return samplesPerPixel == 3 ? 16 : 8; }

uint32_t JpegStripRows(uint32_t width, uint32_t samplesPerPixel) {
    const uint32_t mcuRows = JpegMcuRows(samplesPerPixel);
    const uint64_t rowBytes = std::max<uint64_t>(1, uint64_t{width} * samplesPerPixel);
    const uint64_t fitting = kStripRawBytesLimit / rowBytes / mcuRows * mcuRows;
    return static_cast<uint32_t>(std::clamp<uint64_t>(fitting, mcuRows, kDefaultJpegStripRows));
}

PluginStatus CheckJpegShape(const JpegPageShape& shape) {
    if (shape.samplesPerPixel != 1 && shape.samplesPerPixel != 3) return StatusUnsupportedImage;
    if (shape.width > kMaxJpegWidth) return StatusUnsupportedImage;
    if (shape.width == 0 || shape.quality < kMinJpegQuality || shape.quality > kMaxJpegQuality) return StatusBadRecord;
    const uint32_t mcuRows = JpegMcuRows(shape.samplesPerPixel);
    if (shape.rowsPerStrip == 0 || shape.rowsPerStrip % mcuRows != 0 || shape.rowsPerStrip > kMaxJpegStripRows)
        return StatusBadRecord;
    return StatusOk;
}

uint64_t JpegStripBufferBytes(const JpegPageShape& shape) {
    return uint64_t{shape.width} * shape.samplesPerPixel * shape.rowsPerStrip;
}

PluginStatus JpegStripCoder::Begin(const JpegPageShape& shape, const JpegCoderMemory& memory) {
    Release();
    PluginStatus status = CheckJpegShape(shape);
    if (status != StatusOk) return status;
    if (memory.stripRows == nullptr || memory.stripRowsBytes < JpegStripBufferBytes(shape) || memory.code == nullptr ||
        memory.codeBytes < kMinJpegCodeBufferBytes)
        return StatusBadRecord;
    state_ = new (std::nothrow) JpegCoderState{};
    if (state_ == nullptr) return StatusNoMemory;
    shape_ = shape;
    memory_ = memory;
    rowBytes_ = uint64_t{shape.width} * shape.samplesPerPixel;

    JpegCoderState& state = *state_;
    jpeg_compress_struct& compressor = state.compressor;
    compressor.err = jpeg_std_error(&state.errors);
    state.errors.error_exit = EscapeOnError;
    state.errors.output_message = SayNothing;
    state.destination.init_destination = StartCode;
    state.destination.empty_output_buffer = HandOnFullBuffer;
    state.destination.term_destination = EndCode;
    compressor.client_data = &state;  // kept by jpeg_create_compress, whose errors need it
    status = Guarded(state, [&] {
        jpeg_create_compress(&compressor);
        compressor.dest = &state.destination;
        SetUpPage(compressor, shape);
        state.writingTables = true;
        jpeg_write_tables(&compressor);
        state.writingTables = false;
    });
    if (status != StatusOk) Release();
    return status;
}

PluginStatus JpegStripCoder::CodeRows(const uint8_t* rows, uint32_t rowCount, uint64_t rowStride, JpegStripSink& sink) {
    if (state_ == nullptr || finished_) return StatusBadSequence;
    if (rowCount == 0) return StatusOk;
    if (rows == nullptr || rowStride < rowBytes_ || rowCount > UINT32_MAX - rowsTaken_) return Fail(StatusBadRecord);
    CodeBuffer out(memory_.code, memory_.codeBytes, sink);
    const uint32_t stripRows = shape_.rowsPerStrip;
    for (uint32_t done = 0; done < rowCount;) {
        const uint8_t* row = rows + static_cast<size_t>(rowStride * done);
        const uint32_t left = rowCount - done;
        PluginStatus status = StatusOk;
        if (rowsHeld_ == 0 && left >= stripRows) {  // a whole strip in the band
            status = CodeStrip(row, stripRows, rowStride, out, sink);
            done += stripRows;
        } else {
            const uint32_t count = std::min(stripRows - rowsHeld_, left);
            for (uint32_t i = 0; i < count; ++i)
                std::memcpy(memory_.stripRows + static_cast<size_t>(rowBytes_ * (rowsHeld_ + i)),
                            row + static_cast<size_t>(rowStride * i), static_cast<size_t>(rowBytes_));
            rowsHeld_ += count;
            done += count;
            if (rowsHeld_ == stripRows) {
                rowsHeld_ = 0;
                status = CodeStrip(memory_.stripRows, stripRows, rowBytes_, out, sink);
            }
        }
        if (status != StatusOk) return Fail(status);
    }
    rowsTaken_ += rowCount;
    const PluginStatus status = out.Flush();
    return status == StatusOk ? status : Fail(status);
}

PluginStatus JpegStripCoder::Finish(JpegStripSink& sink) {
    if (state_ == nullptr || finished_ || rowsTaken_ == 0) return StatusBadSequence;
    CodeBuffer out(memory_.code, memory_.codeBytes, sink);
    PluginStatus status = StatusOk;
    if (rowsHeld_ > 0) status = CodeStrip(memory_.stripRows, rowsHeld_, rowBytes_, out, sink);
    rowsHeld_ = 0;
    if (status == StatusOk) status = out.Flush();
    if (status != StatusOk) return Fail(status);
    finished_ = true;
    return StatusOk;
}

PluginStatus JpegStripCoder::CodeStrip(const uint8_t* rows, uint32_t rowCount, uint64_t rowStride, CodeBuffer& out,
                                       JpegStripSink& sink) {
    JpegCoderState& state = *state_;
    state.out = &out;
    state.stripBytes = 0;
    const PluginStatus status = Guarded(state, [&] { CompressStrip(state.compressor, rows, rowCount, rowStride); });
    state.out = nullptr;
    if (status != StatusOk) return status;
    if (state.stripBytes >= UINT32_MAX) return StatusWriteFailed;
    ++stripsEnded_;
    return sink.EndStrip(static_cast<uint32_t>(state.stripBytes));
}

PluginStatus JpegStripCoder::Fail(PluginStatus status) {
    finished_ = true;  // the strip under way is lost: nothing may follow it
    return status;
}

void JpegStripCoder::Release() {
    if (state_ != nullptr) {
        jpeg_destroy_compress(&state_->compressor);
        delete state_;
        state_ = nullptr;
    }
    shape_ = {};
    memory_ = {};
    rowBytes_ = 0;
    rowsHeld_ = 0;
    rowsTaken_ = 0;
    stripsEnded_ = 0;
    finished_ = false;
}

const uint8_t* JpegStripCoder::tables() const { return state_ != nullptr ? state_->tables : nullptr; }

uint32_t JpegStripCoder::tablesBytes() const { return state_ != nullptr ? state_->tablesBytes : 0; }
