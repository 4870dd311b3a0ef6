#include "page/trailing_directory.h"

#include "memory/global_block.h"
#include "tiff/directory_writer.h"

PluginStatus SerializeTrailingDirectory(const TrailingLayoutRequest& layout, int32_t byteOrder, uint8_t** block,
                                        TrailingDirectory* directory) {
    ReleaseBlock(*block);
    PagePlan plan;
    PluginStatus status = PlanTrailingPage(layout, &plan);
    if (status != StatusOk) return status;
    *block = AllocateBlock(size_t{plan.stagingBytes} + plan.blockBytes);
    if (*block == nullptr) return StatusNoMemory;
    FillTrailingDirectory(layout, plan, *block);
    uint8_t* serialized = *block + plan.stagingBytes;
    const StagedDirectory staged{*block, plan.stagingBytes, plan.entryCount, plan.entryBase, plan.flavour};
    uint32_t size = 0;
    status = SerializeDirectory(staged, nullptr, byteOrder, serialized, plan.blockBytes, &size);
    if (status != StatusOk) return status;
    *directory = TrailingDirectory{plan, serialized, size};
    return StatusOk;
}
