// An append cut short by a kill: recorded in the job's key before a page's
// bytes go past the end of an existing output file, and reclaimed by the
// next job that continues that file.
#include "page/file_chain_reader.h"
#include "page/page_writer.h"
#include "tiff/page_chain.h"

PluginStatus PageWriter::FillAppendRecord(uint64_t base) {
    job_.appendBase = base;
    FileIdentity identity;
    if (!output_.Identity(&identity)) return StatusReadFailed;
    FormatFileIdentity(identity, job_.appendFile);
    return StatusOk;
}

// The record read (Append Base, Append File): cuts the output back to the size it had before the recorded append, when
// it is the file recorded and its chain provably ends there: the bytes past
// it are then the killed append's, which no page points to. Anything else
// (another file, a page linked after all, bytes another program added) is
// left as it is.
PluginStatus PageWriter::ReclaimUnfinishedAppend(const char* outputPath) {
    PluginStatus status = output_.OpenForUpdate(outputPath);
    if (status != StatusOk) return status;
    FileIdentity identity;
    if (!output_.Identity(&identity) || !(identity == ParseFileIdentity(job_.appendFile))) {
        output_.Close();  // another job's record, for another file
        return StatusOk;
    }
    ChainEnd end;
    FileChainReader output(output_);
    status = FindChainEnd(output, job_.byteOrder, &end);
    const bool reclaim = status == StatusOk && TailIsUnfinishedAppend(end, job_.appendBase);
    if (reclaim) status = output_.Truncate(job_.appendBase);
    if (reclaim && status == StatusOk) status = output_.Flush();
    output_.Close();
    if (status != StatusOk) return status;
    return job_.Delete(job_values::kAppendUnderWay) ? StatusOk : StatusStateUnavailable;
}
