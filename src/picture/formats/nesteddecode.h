#pragma once
// Decoding a picture embedded in another file (an icon element, a DICOM frame) through the
// reader of its own format, on behalf of the outer picture.
#include "base/streams.h"
#include "picture/core/picture.h"

enum class eNestedResult
{
    Take,      // the pixels move into the outer picture as they are
    Normalize, // the outer picture gets a copy with its levels stretched to the full range
};

// With a render target attached to `owner`, the nested reader streams into it (and ends the
// stream) and its result is the result; otherwise the decoded pixels go into `owner` as
// `result` says.
template <class tPicture>
[[nodiscard]] bool DecodeNestedPicture(cFileIOTarget* data, cPictBase* owner, eNestedResult result)
{
    tPicture picture;
    if (owner->HasTarget()) {
        return picture.SetTarget(owner->GetTarget()) && picture.Load(data);
    }
    if (!picture.Load(data)) {
        return false;
    }
    if (result == eNestedResult::Normalize) {
        return owner->CopyNormalized(&picture);
    }
    owner->TakePixels(&picture);
    return true;
}
