#include "tiff/jpeg_strip_coder.h"

#include "tiff/image_format.h"

#include <algorithm>
#include <atomic>
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
    // The side's carried strip (CarryStrip): its rows, where its code goes,
    // and whether it was coded whole.
    const uint8_t* carriedRows;
    uint64_t carriedStride;
    uint32_t carriedRowCount;
    uint8_t* carriedCode;
    uint32_t carriedCodeBytes;
    bool carriedCoded;
    uint32_t carriedSize;
};

namespace {

// 16 rows: one MCU row of subsampled colour, two of grey.
constexpr uint32_t kRowsPerCall = 16;
// The strips of a band the two threads share at a time: the side's sizes
// wait in its record until the calling thread hands them on.
constexpr uint32_t kMaxRoundStrips = 64;

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

// One strip into `out`, its code counted into state.stripBytes.
PluginStatus CompressInto(JpegCoderState& state, const uint8_t* rows, uint32_t rowCount, uint64_t rowStride,
                          CodeBuffer& out) {
    state.out = &out;
    state.stripBytes = 0;
    const PluginStatus status = Guarded(state, [&] { CompressStrip(state.compressor, rows, rowCount, rowStride); });
    state.out = nullptr;
    if (status != StatusOk) return status;
    return state.stripBytes < UINT32_MAX ? StatusOk : StatusWriteFailed;
}

// libjpeg's state for one page: its error exit, its destination, the page's
// parameters and tables (written to state.tables).
PluginStatus SetUpState(JpegCoderState& state, const JpegPageShape& shape) {
    jpeg_compress_struct& compressor = state.compressor;
    compressor.err = jpeg_std_error(&state.errors);
    state.errors.error_exit = EscapeOnError;
    state.errors.output_message = SayNothing;
    state.destination.init_destination = StartCode;
    state.destination.empty_output_buffer = HandOnFullBuffer;
    state.destination.term_destination = EndCode;
    compressor.client_data = &state;  // kept by jpeg_create_compress, whose errors need it
    return Guarded(state, [&] {
        jpeg_create_compress(&compressor);
        compressor.dest = &state.destination;
        SetUpPage(compressor, shape);
        state.writingTables = true;
        jpeg_write_tables(&compressor);
        state.writingTables = false;
    });
}

// Stands for the sink in the side thread: the side's code must fit its
// buffer.
class NoRoomSink final : public CodeSink {
public:
    PluginStatus Append(const uint8_t*, uint32_t) override { return StatusWriteFailed; }
};

// A round's strips, which the calling thread takes from the front and the
// side thread from the back, one at a time; the side's code and sizes.
struct SharedRound {
    JpegCoderState* side;
    const uint8_t* rows;
    uint64_t rowStride;
    uint32_t stripRows;
    uint32_t strips;
    uint8_t* code;
    uint32_t codeBytes;
    std::atomic<uint32_t> bounds;  // the first strip not taken from the front, and (<< 16) from the back
    // The side's strips: coded whole, or left to the calling thread.
    bool coded[kMaxRoundStrips];
    uint32_t codeAt[kMaxRoundStrips];
    uint32_t codeSize[kMaxRoundStrips];

    const uint8_t* Strip(uint32_t strip) const { return rows + static_cast<size_t>(rowStride * stripRows * strip); }

    // The next strip from the front, or from the back; false once the two
    // meet.
    bool Take(bool fromBack, uint32_t& strip) {
        uint32_t now = bounds.load();
        for (;;) {
            const uint32_t front = now & 0xFFFF, back = now >> 16;
            if (front >= back) return false;
            strip = fromBack ? back - 1 : front;
            const uint32_t next = fromBack ? (back - 1) << 16 | front : back << 16 | (front + 1);
            if (bounds.compare_exchange_weak(now, next)) return true;
        }
    }
    uint32_t Front() const { return bounds.load() & 0xFFFF; }
};

// The side thread: strips from the back into its buffer, until the threads
// meet or a strip does not fit (that one and those before it are left to the
// calling thread).
void CodeFromTheBack(void* context) {
    SharedRound& round = *static_cast<SharedRound*>(context);
    NoRoomSink noRoom;
    CodeBuffer out(round.code, round.codeBytes, noRoom);
    for (uint32_t strip = 0; round.Take(true, strip);) {
        const uint32_t at = out.used();
        if (CompressInto(*round.side, round.Strip(strip), round.stripRows, round.rowStride, out) != StatusOk) {
            jpeg_abort_compress(&round.side->compressor);  // ready for the next strip
            return;
        }
        round.coded[strip] = true;
        round.codeAt[strip] = at;
        round.codeSize[strip] = out.used() - at;
    }
}

// The side thread's carried strip, into the side's code buffer.
void CodeCarried(void* context) {
    JpegCoderState& side = *static_cast<JpegCoderState*>(context);
    NoRoomSink noRoom;
    CodeBuffer out(side.carriedCode, side.carriedCodeBytes, noRoom);
    if (CompressInto(side, side.carriedRows, side.carriedRowCount, side.carriedStride, out) != StatusOk) {
        jpeg_abort_compress(&side.compressor);  // ready for the next strip
        return;
    }
    side.carriedCoded = true;
    side.carriedSize = out.used();
}

// Bytes coded elsewhere, after those in `out`: copied into it where they
// fit, so that the sink is called no more often than one thread would.
PluginStatus Hand(CodeBuffer& out, const uint8_t* bytes, uint32_t count) {
    if (out.capacity() - out.used() < count) return out.Pass(bytes, count);
    std::memcpy(out.end(), bytes, count);
    out.Advance(count);
    return StatusOk;
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

    status = SetUpState(*state_, shape);
    if (status != StatusOk) {
        Release();
        return status;
    }
    if (memory.side != nullptr && memory.sideCode != nullptr && memory.sideCodeBytes >= kMinJpegCodeBufferBytes)
        BeginSide();
    return StatusOk;
}

// A side that cannot be had leaves one thread coding: the page is the same.
void JpegStripCoder::BeginSide() {
    side_ = new (std::nothrow) JpegCoderState{};
    if (side_ != nullptr && SetUpState(*side_, shape_) != StatusOk) ReleaseSide();
}

void JpegStripCoder::ReleaseSide() {
    if (side_ == nullptr) return;
    jpeg_destroy_compress(&side_->compressor);
    delete side_;
    side_ = nullptr;
}

PluginStatus JpegStripCoder::CodeRows(const uint8_t* rows, uint32_t rowCount, uint64_t rowStride, JpegStripSink& sink) {
    if (state_ == nullptr || finished_) return StatusBadSequence;
    if (rowCount == 0) return StatusOk;
    if (rows == nullptr || rowStride < rowBytes_ || rowCount > UINT32_MAX - rowsTaken_) return Fail(StatusBadRecord);
    CodeBuffer out(memory_.code, memory_.codeBytes, sink);
    const PluginStatus collected = CollectCarried(out, sink);
    if (collected != StatusOk) return Fail(collected);
    const uint32_t stripRows = shape_.rowsPerStrip;
    for (uint32_t done = 0; done < rowCount;) {
        const uint8_t* row = rows + static_cast<size_t>(rowStride * done);
        const uint32_t left = rowCount - done;
        PluginStatus status = StatusOk;
        if (rowsHeld_ == 0 && left >= stripRows) {  // whole strips in the band
            const uint32_t strips = left / stripRows;
            // A band that ends on a strip's end leaves its last strip to the
            // side thread, which codes it while the caller goes on.
            const bool carry = side_ != nullptr && left % stripRows == 0;
            status = CodeWholeStrips(row, strips - (carry ? 1 : 0), rowStride, out, sink);
            if (status == StatusOk && carry)
                status =
                    CarryStrip(row + static_cast<size_t>(rowStride * stripRows * (strips - 1)), rowStride, out, sink);
            done += strips * stripRows;
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
    PluginStatus status = CollectCarried(out, sink);
    if (rowsHeld_ > 0 && status == StatusOk) status = CodeStrip(memory_.stripRows, rowsHeld_, rowBytes_, out, sink);
    rowsHeld_ = 0;
    if (status == StatusOk) status = out.Flush();
    if (status != StatusOk) return Fail(status);
    finished_ = true;
    return StatusOk;
}

PluginStatus JpegStripCoder::CodeStrip(const uint8_t* rows, uint32_t rowCount, uint64_t rowStride, CodeBuffer& out,
                                       JpegStripSink& sink) {
    const PluginStatus status = CompressInto(*state_, rows, rowCount, rowStride, out);
    if (status != StatusOk) return status;
    ++stripsEnded_;
    return sink.EndStrip(static_cast<uint32_t>(state_->stripBytes));
}

PluginStatus JpegStripCoder::CodeWholeStrips(const uint8_t* rows, uint32_t strips, uint64_t rowStride, CodeBuffer& out,
                                             JpegStripSink& sink) {
    const uint32_t stripRows = shape_.rowsPerStrip;
    for (uint32_t done = 0; done < strips;) {
        const uint8_t* at = rows + static_cast<size_t>(rowStride * stripRows * done);
        const uint32_t round = side_ != nullptr ? std::min(strips - done, kMaxRoundStrips) : 1;
        const PluginStatus status = round >= 2 ? CodeSharedRound(at, round, rowStride, out, sink)
                                               : CodeStrip(at, stripRows, rowStride, out, sink);
        if (status != StatusOk) return status;
        done += round;
    }
    return StatusOk;
}

// The strip's rows go to the strip buffer, and the side thread codes them
// there; coded here when no thread can be had.
PluginStatus JpegStripCoder::CarryStrip(const uint8_t* rows, uint64_t rowStride, CodeBuffer& out, JpegStripSink& sink) {
    const uint32_t stripRows = shape_.rowsPerStrip;
    for (uint32_t i = 0; i < stripRows; ++i)
        std::memcpy(memory_.stripRows + static_cast<size_t>(rowBytes_ * i), rows + static_cast<size_t>(rowStride * i),
                    static_cast<size_t>(rowBytes_));
    JpegCoderState& side = *side_;
    side.carriedRows = memory_.stripRows;
    side.carriedStride = rowBytes_;
    side.carriedRowCount = stripRows;
    side.carriedCode = memory_.sideCode;
    side.carriedCodeBytes = memory_.sideCodeBytes;
    side.carriedCoded = false;
    carried_ = memory_.side->Start(CodeCarried, &side);
    if (carried_) return StatusOk;
    return CodeStrip(memory_.stripRows, stripRows, rowBytes_, out, sink);
}

// The carried strip's code to the sink, after the strips before it; coded
// here when the side did not code it whole (or was not run in time).
PluginStatus JpegStripCoder::CollectCarried(CodeBuffer& out, JpegStripSink& sink) {
    if (!carried_) return StatusOk;
    carried_ = false;
    memory_.side->Finish();
    const JpegCoderState& side = *side_;
    if (!side.carriedCoded) return CodeStrip(memory_.stripRows, side.carriedRowCount, rowBytes_, out, sink);
    const PluginStatus status = Hand(out, side.carriedCode, side.carriedSize);
    ++stripsEnded_;
    return status == StatusOk ? sink.EndStrip(side.carriedSize) : status;
}

// The calling thread's strips straight to the sink until it meets the side
// thread's; then the side's code, and the strips it left coded here.
PluginStatus JpegStripCoder::CodeSharedRound(const uint8_t* rows, uint32_t strips, uint64_t rowStride, CodeBuffer& out,
                                             JpegStripSink& sink) {
    SharedRound round{
        side_, rows, rowStride, shape_.rowsPerStrip, strips, memory_.sideCode, memory_.sideCodeBytes, {strips << 16},
        {},    {},   {}};
    const bool started = memory_.side->Start(CodeFromTheBack, &round);
    PluginStatus status = StatusOk;
    for (uint32_t strip = 0; status == StatusOk && round.Take(false, strip);)
        status = CodeStrip(round.Strip(strip), round.stripRows, rowStride, out, sink);
    // After a failure the side takes nothing more.
    for (uint32_t rest = 0; status != StatusOk && round.Take(false, rest);) {
    }
    if (started) memory_.side->Finish();
    for (uint32_t strip = round.Front(); strip < strips && status == StatusOk; ++strip) {
        if (!round.coded[strip]) {
            status = CodeStrip(round.Strip(strip), round.stripRows, rowStride, out, sink);
            continue;
        }
        status = Hand(out, round.code + round.codeAt[strip], round.codeSize[strip]);
        ++stripsEnded_;
        if (status == StatusOk) status = sink.EndStrip(round.codeSize[strip]);
    }
    return status;
}

PluginStatus JpegStripCoder::Fail(PluginStatus status) {
    finished_ = true;  // the strip under way is lost: nothing may follow it
    return status;
}

void JpegStripCoder::Release() {
    if (carried_) memory_.side->Finish();  // its code is lost with the page
    carried_ = false;
    ReleaseSide();
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
