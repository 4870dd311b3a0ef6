// Fuzz target (f): the directory chain of an existing output file, classic
// TIFF or BigTIFF, as the page engine walks it before it appends a page:
// any bytes as the file, read in either byte order.
//
// Besides the sanitizers' findings, an input fails when the walk reads past
// the end of the file, or accepts a chain whose end it reports wrongly: no
// pages, a flavour the header does not say, a last next-directory field that
// lies outside the file or does not read 0, or a named byte past the file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "tiff/byte_order.h"
#include "tiff/page_chain.h"

namespace {

class BytesReader final : public ChainReader {
public:
    BytesReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint64_t Size() override { return size_; }
    PluginStatus ReadAt(uint64_t position, uint32_t count, uint8_t* bytes) override {
        if (position > size_ || count > size_ - position) Fail("a read past the end of the file");
        for (uint32_t i = 0; i < count; ++i) bytes[i] = data_[position + i];
        return StatusOk;
    }

    [[noreturn]] static void Fail(const char* what) {
        std::fprintf(stderr, "chain reader: %s\n", what);
        std::abort();
    }

private:
    const uint8_t* data_;
    uint64_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (int32_t order : {int32_t{ByteOrderIntel}, int32_t{ByteOrderMotorola}}) {
        BytesReader file(data, size);
        ChainEnd end{};
        if (FindChainEnd(file, order, &end) != StatusOk) continue;
        const uint32_t field = FrameOf(end.flavour).nextDirectoryBytes;
        if (end.pages == 0) BytesReader::Fail("a chain of no pages");
        if ((GetShort(data + 2, order) == kBigFrame.magic) != (end.flavour == TiffFlavour::Big))
            BytesReader::Fail("a flavour the header does not say");
        if (end.fileSize != size || end.appendOffset != size + (size & 1)) BytesReader::Fail("the file's end");
        if (end.nextDirectoryField > size || field > size - end.nextDirectoryField)
            BytesReader::Fail("the last next-directory field outside the file");
        if (GetUnsigned(data + end.nextDirectoryField, field, order) != 0)
            BytesReader::Fail("a last next-directory field that does not read 0");
        if (end.chainEnd > size) BytesReader::Fail("a named byte past the end");
    }
    return 0;
}
