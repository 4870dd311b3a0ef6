#include "output/page_commit.h"

#include "platform/win32.h"

namespace {

// Puts the output back as it stood before the page: old size, old link.
void RestoreOutput(FileHandle& output, uint64_t oldSize, const PageLink& link, const uint8_t* oldLink) {
    output.WriteAt(link.nextDirectoryField, link.size, oldLink);
    output.Truncate(oldSize);
    output.Flush();
}

}  // namespace

PluginStatus CommitFirstPage(FileHandle& page, const char* outputPath, CreationRecord& staging, bool roomChecked) {
    return FileHandle::CopyToDestination(page, outputPath, staging, roomChecked);
}

PluginStatus AppendAndLink(FileHandle& output, FileHandle& page, const char* outputPath, uint64_t oldSize,
                           const PageLink& link, bool roomChecked) {
    if (link.size > sizeof(link.bytes) || link.nextDirectoryField > oldSize ||
        link.size > oldSize - link.nextDirectoryField)
        return StatusWriteFailed;
    uint8_t oldLink[sizeof(link.bytes)];
    PluginStatus status = output.ReadAt(link.nextDirectoryField, link.size, oldLink);
    if (status != StatusOk) return status;

    // A file that ends on an odd offset (bytes of an append cut short) gets
    // one pad byte: directories lie on word boundaries.
    if (oldSize % 2 != 0) {
        const uint8_t pad = 0;
        status = output.SeekToEnd();
        if (status == StatusOk) status = output.Write(1, &pad);
    }
    if (status == StatusOk) status = output.AppendFrom(page, outputPath, roomChecked, link.largestFileSize);
    // The page must be on the disk before anything points at it.
    if (status == StatusOk && (status = output.Flush()) == StatusOk &&
        (status = output.WriteAt(link.nextDirectoryField, link.size, link.bytes)) == StatusOk)
        status = output.Flush();
    if (status != StatusOk) RestoreOutput(output, oldSize, link, oldLink);
    return status;
}
