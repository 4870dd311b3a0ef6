// The framing of a job: the preparation of a page and the end of the job.
#include "page/file_chain_reader.h"
#include "page/page_writer.h"
#include "platform/win32.h"
#include "tiff/file_header.h"
#include "tiff/image_format.h"
#include "tiff/page_chain.h"

PluginStatus PageWriter::Prepare(bool continueFile, const char* outputPath) {
    if (!continueFile) {
        job_.pageCount = 0;
        job_.nextDirectoryField = 0;
        job_.outputEndOffset = kFirstDirectoryOffset;
        committedOutputSize_ = 0;
        if (!job_.Save(JobValue::OutputEndOffset)) return StatusStateUnavailable;
    } else if (job_.pageCount == 0) {
        // Continuing a file of which this object has committed no page (a
        // new job, or the library reloaded within one): the pages are those
        // already in the output file.
        PluginStatus status = CountPagesInOutput(outputPath);
        if (status != StatusOk) return status;
    }
    if (!DropOpenPage() || !job_.Save(job_values::kPreparedPage)) return StatusStateUnavailable;
    return StatusOk;
}

PluginStatus PageWriter::CountPagesInOutput(const char* outputPath) {
    if (output_.OpenForRead(outputPath) != StatusOk) {
        // No file yet: it starts with this page. A file that is there but
        // cannot be read now is never taken for a missing one and replaced.
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? StatusOk : StatusOpenFailed;
    }
    job_.Load(JobValue::ByteOrder);
    PluginStatus status = StatusOk;
    if (job_.Load(JobValue::AppendBase) && job_.Load(JobValue::AppendFile)) {
        output_.Close();
        status = ReclaimUnfinishedAppend(outputPath);
        if (status == StatusOk) status = output_.OpenForRead(outputPath);
        if (status != StatusOk) return status;
    }
    ChainEnd end;
    FileChainReader output(output_);
    status = FindChainEnd(output, job_.byteOrder, &end);
    output_.Close();
    if (status == StatusOk) status = CheckFileFlavour(end.flavour);
    if (status != StatusOk) return status;
    job_.pageCount = end.pages;
    job_.nextDirectoryField = end.nextDirectoryField;
    KnowOutput(end.fileSize, end.flavour);
    return StatusOk;
}

PluginStatus PageWriter::CheckFileFlavour(TiffFlavour fileFlavour) {
    if (fileFlavour == SettingsFlavour()) return StatusOk;
    note_ = fileFlavour == TiffFlavour::Big ? FailureNote::FileIsBigTiff : FailureNote::FileIsClassic;
    return StatusNotAppendable;
}

void PageWriter::ForgetJob() {
    coders_.ResetAll();
    committedOutputSize_ = 0;
}
