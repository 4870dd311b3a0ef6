// Where the output file's chain ends, for a later page of a job. The job
// holds the output file for its whole life (the host locks it for the job),
// and every byte of it up to the size the job left was either written by the
// job or checked, whole, by the walk that took the file over. So a file whose
// size is still that one and whose last next-directory field still reads 0
// ends where the job left it, in the byte order and flavour it left, and
// needs no walk. Anything else is walked
// again from the header, as a file never seen before, and the callers compare
// what the walk finds with what the job expects.
#include "page/file_chain_reader.h"
#include "page/page_writer.h"
#include "tiff/byte_order.h"
#include "tiff/directory_entry.h"

PluginStatus PageWriter::FindOwnChainEnd(ChainEnd* end) {
    FileChainReader output(output_);
    const uint64_t known = committedOutputSize_;
    const uint64_t field = job_.nextDirectoryField;
    const uint32_t fieldBytes = FrameOf(committedFlavour_).nextDirectoryBytes;
    if (known != 0 && committedByteOrder_ == job_.byteOrder && job_.pageCount > 0 && field != 0 &&
        field + fieldBytes <= known && output.Size() == known) {
        uint8_t next[8];
        if (output.ReadAt(field, fieldBytes, next) == StatusOk && GetUnsigned(next, fieldBytes, job_.byteOrder) == 0) {
            *end =
                ChainEnd{job_.pageCount, job_.nextDirectoryField, known, known + (known & 1), known, committedFlavour_};
            return StatusOk;
        }
    }
    return FindChainEnd(output, job_.byteOrder, end);
}
