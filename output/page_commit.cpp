#include "output/page_commit.h"

#include "platform/win32.h"

namespace {

// Puts the output back as it stood before the page: old size, old link.
void RestoreOutput(FileHandle& output, uint64_t oldSize, uint32_t nextDirectoryField, const uint8_t* oldLink) {
    output.WriteAt(nextDirectoryField, 4, oldLink);
    output.Truncate(oldSize);
    output.Flush();
}

}  // namespace

PluginStatus CommitFirstPage(FileHandle& page, const char* outputPath, CreationRecord& staging, bool roomChecked) {
    return FileHandle::CopyToDestination(page, outputPath, staging, roomChecked);
}

PluginStatus AppendAndLink(FileHandle& output, FileHandle& page, const char* outputPath, uint64_t oldSize,
                           const PageLink& link, bool roomChecked) {
    if (uint64_t{link.nextDirectoryField} + 4 > oldSize) return StatusWriteFailed;
    uint8_t oldLink[4];
    PluginStatus status = output.ReadAt(link.nextDirectoryField, 4, oldLink);
    if (status != StatusOk) return status;

    // A file that ends on an odd offset (bytes of an append cut short) gets
    // one pad byte: directories lie on word boundaries.
    if (oldSize % 2 != 0) {
        const uint8_t pad = 0;
        status = output.SeekToEnd();
        if (status == StatusOk) status = output.Write(1, &pad);
    }
    if (status == StatusOk) status = output.AppendFrom(page, outputPath, roomChecked);
    // The page must be on the disk before anything points at it.
    if (status == StatusOk && (status = output.Flush()) == StatusOk &&
        (status = output.WriteAt(link.nextDirectoryField, 4, link.bytes)) == StatusOk)
        status = output.Flush();
    if (status != StatusOk) RestoreOutput(output, oldSize, link.nextDirectoryField, oldLink);
    return status;
}
