#include "output/page_commit.h"

#include "platform/win32.h"

namespace {

PluginStatus WriteAt(FileHandle& file, uint32_t position, uint32_t count, const uint8_t* bytes) {
    int32_t high = 0;
    PluginStatus status = file.Seek(static_cast<int32_t>(position), &high, FILE_BEGIN);
    return status != StatusOk ? status : file.Write(count, bytes);
}

PluginStatus ReadAt(FileHandle& file, uint32_t position, uint32_t count, uint8_t* bytes) {
    int32_t high = 0;
    PluginStatus status = file.Seek(static_cast<int32_t>(position), &high, FILE_BEGIN);
    return status != StatusOk ? status : file.Read(count, bytes);
}

// Puts the output back as it stood before the page: old size, old link.
void RestoreOutput(FileHandle& output, uint64_t oldSize, uint32_t linkPosition, const uint8_t* oldLink) {
    WriteAt(output, linkPosition, 4, oldLink);
    output.Truncate(oldSize);
    output.Flush();
}

}  // namespace

PluginStatus CommitFirstPage(const char* pagePath, const char* outputPath) {
    return FileHandle::MoveToDestination(pagePath, outputPath);
}

PluginStatus AppendAndLink(FileHandle& output, const char* pagePath, const char* outputPath, uint64_t oldSize,
                           const PageLink& link) {
    if (uint64_t{link.position} + 4 > oldSize) return StatusWriteFailed;
    uint8_t oldLink[4];
    PluginStatus status = ReadAt(output, link.position, 4, oldLink);
    if (status != StatusOk) return status;

    // A file that ends on an odd offset (bytes of an append cut short) gets
    // one pad byte: directories lie on word boundaries.
    if (oldSize % 2 != 0) {
        const uint8_t pad = 0;
        int32_t high = 0;
        status = output.Seek(0, &high, FILE_END);
        if (status == StatusOk) status = output.Write(1, &pad);
    }
    if (status == StatusOk) status = output.AppendFile(pagePath, outputPath);
    // The page must be on the disk before anything points at it.
    if (status == StatusOk && (status = output.Flush()) == StatusOk &&
        (status = WriteAt(output, link.position, 4, link.bytes)) == StatusOk)
        status = output.Flush();
    if (status != StatusOk) RestoreOutput(output, oldSize, link.position, oldLink);
    return status;
}
