#pragma once
// The format factory: a stream becomes the right picture object by its content alone.
//
// A fixed chain of probe-and-create steps runs in order and the first that recognises the
// stream wins; the order matters where formats overlap (camera RAW files are TIFF
// structures, so their probes run before the TIFF one, and a bare DIB header comes after
// BMP). After every step has failed, a ZIP archive is opened once and tried as a 3MF, F3D
// and HWPX document with a PNG preview, in that order.
//
// Each step: seek to 0; probe (header only; fills the caller's info when one is given);
// construct the format object. With an info the object goes back unloaded (size 0 until
// it is loaded); without one it is loaded from position 0 and deleted when that fails.
#include "base/streams.h"
#include "picture/core/picture.h"

struct sPictFactoryStep
{
    i32 order;    // the step's fixed place in the chain
    i32 formatId; // the id of the object it makes
    cPictBase* (*run)(cFileIOTarget* stream, sPictInfo* info);
};

// The picture object for `stream`, owned by the caller (cPictBase::Delete), or null. With
// `info`, the winning step fills it and the object is not loaded; the info is zeroed first.
// The stream's position afterwards is unspecified.
[[nodiscard]] cPictBase* PictCreateFromStream(cFileIOTarget* stream, sPictInfo* info);
