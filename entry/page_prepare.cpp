// Classification and the framing of a job: the start of a page and the end
// of the job.
#include "entry/file_chain_reader.h"
#include "entry/tiff_page_writer.h"
#include "platform/win32.h"
#include "tiff/file_header.h"
#include "tiff/image_format.h"
#include "tiff/page_chain.h"

PluginStatus TiffPageWriter::ClassifyImage() {
    job_.imageFormat = FormatNone;
    if (image_->unsupportedLayout != 0) return StatusUnsupportedImage;
    job_.imageFormat = ClassifyFormat(image_->bitsPerPixel, image_->samplesPerPixel, image_->colorKind);
    return job_.imageFormat == FormatNone ? StatusUnsupportedImage : StatusOk;
}

PluginStatus TiffPageWriter::PreparePage() {
    PluginStatus status = ClaimJob();
    if (status != StatusOk) return status;
    status = ClassifyImage();
    if (status != StatusOk) return status;
    if (image_->continueFile == 0) {
        job_.pageCount = 0;
        job_.nextDirectoryField = 0;
        job_.outputEndOffset = kFirstDirectoryOffset;
        committedOutputSize_ = 0;
        if (!job_.Save(JobValue::OutputEndOffset)) return StatusStateUnavailable;
    } else if (job_.pageCount == 0) {
        // Continuing a file of which this object has committed no page (a
        // new job, or the library reloaded within one): the pages are those
        // already in the output file.
        status = CountPagesInOutput();
        if (status != StatusOk) return status;
    }
    if (!DropOpenPage() || !job_.Save(job_values::kPreparedPage)) return StatusStateUnavailable;
    return StatusOk;
}

// A page prepared while another was begun and never ended replaces it: the
// old page file cannot be ended as a page of the new format.
bool TiffPageWriter::DropOpenPage() {
    if (!ReadPageFilePath()) return true;
    pageFile_.Discard();
    return job_.Delete(job_values::kOpenPage);
}

PluginStatus TiffPageWriter::CountPagesInOutput() {
    if (file_.OpenForRead(target_->path) != StatusOk) {
        // No file yet: it starts with this page. A file that is there but
        // cannot be read now is never taken for a missing one and replaced.
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? StatusOk : StatusOpenFailed;
    }
    job_.Load(JobValue::ByteOrder);
    PluginStatus status = StatusOk;
    if (job_.Load(JobValue::AppendBase) && job_.Load(JobValue::AppendFile)) {
        file_.Close();
        status = ReclaimUnfinishedAppend();
        if (status == StatusOk) status = file_.OpenForRead(target_->path);
        if (status != StatusOk) return status;
    }
    ChainEnd end;
    FileChainReader output(file_);
    status = FindChainEnd(output, job_.byteOrder, &end);
    file_.Close();
    if (status != StatusOk) return status;
    job_.pageCount = end.pages;
    job_.nextDirectoryField = end.nextDirectoryField;
    KnowOutput(end.fileSize);
    return StatusOk;
}

PluginStatus TiffPageWriter::ReleaseJobFiles() {
    // A file still held (its close failed) cannot be deleted.
    if (file_.IsOpen()) file_.Close();
    pageFile_.CloseIfOpen();
    pageFile_.DropStray();
    // Only a page file of ours is deleted, whatever the registry names.
    if (ReadPageFilePath()) pageFile_.Discard();
    return job_.Delete(job_values::kPreparedOrOpenPage) ? StatusOk : StatusStateUnavailable;
}

// A job that another process still runs is not this one to end.
PluginStatus TiffPageWriter::EndJob() {
    coders_.ResetAll();
    committedOutputSize_ = 0;
    if (HeldByAnotherProcess()) return StatusOk;
    PluginStatus status = ReleaseJobFiles();
    RemoveStrayStagedFile();
    if (!job_.Delete(job_values::kJob)) status = StatusStateUnavailable;
    return status;
}
