// The band loop the Group 3 and Group 4 coders share: the changes of the
// reference line (the row above the band) found once, each row coded by the
// coder's row function into the workspace's code area, the code handed to
// the sink in batches, and the band's last row kept as the reference for
// the next band. Only the row code differs between the two coders.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "tiff/code_sink.h"
#include "tiff/g4_bit_writer.h"
#include "tiff/g4_coder_state.h"
#include "tiff/g4_encoder.h"

// Codes one source row (host sense, 1 = white) against `lists.reference`,
// after which the row's changes must be the reference for the next row.
class FaxRowCoder {
public:
    virtual void CodeRow(G4BitWriter& writer, G4ChangeLists& lists, const uint8_t* sourceRow, uint32_t width) = 0;

protected:
    ~FaxRowCoder() = default;
};

// Bytes of the workspace of a band whose rows code to at most
// `maxRowCodeBytes` each (bits held from before included): the change lists
// of two rows and the code area.
uint64_t FaxWorkspaceBytes(uint32_t width, uint32_t rows, uint32_t rowBytes, uint64_t maxRowCodeBytes);

// Checks the band (CheckG4Band) and `memory` (FaxWorkspaceBytes), then codes
// the band's rows with `rowCoder` and hands the code to `sink`. Returns
// StatusOk, CheckG4Band's status, StatusNoMemory when `memory` is smaller
// than the band needs, or the sink's status.
PluginStatus EncodeFaxBand(G4CoderState& coder, const uint8_t* pixels, uint32_t width, uint32_t rows, uint32_t rowBytes,
                           uint64_t maxRowCodeBytes, const G4Memory& memory, FaxRowCoder& rowCoder, CodeSink& sink);
