#include "entry/tiff_page_writer.h"

TiffPageWriter::~TiffPageWriter() { ReleaseReferenceLine(); }
