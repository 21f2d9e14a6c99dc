#pragma once
// Pictures of ZIP-based documents that carry a ready-made PNG preview: 3MF print models,
// F3D design archives and HWPX word-processor documents. The picture is that one member,
// found by its exact name ('/' separated, byte for byte) among the archive's files, never
// its folders, and decoded by the PNG reader. Such a picture cannot render while decoding,
// so its thumbnails decode the preview and resample it.
#include "package/zipreader.h"
#include "picture/core/picture.h"

enum : i32
{
    kPictFormat3MF = 42,
    kPictFormatF3D = 43,
    kPictFormatHWPX = 44,
};

class cZIPBasedPictFormat : public cPictBase
{
public:
    // ReadInfo gives the preview's PNG size (preview flag 0), Load its pixels. Each reads
    // the archive's directory afresh and fails for a null stream or an archive that does
    // not open.
    bool ReadInfo(cFileIOTarget* stream, sPictInfo* info) override;
    bool Load(cFileIOTarget* stream) override;
    bool RendersWhileDecoding() override { return false; }

    // True when the opened archive holds this format's preview member and it opens with a
    // valid PNG header; `info` (may be null) gets its size.
    [[nodiscard]] virtual bool FindPreviewMember(cZIPFileContainer* container,
                                                 cSiArchTarget* target, sPictInfo* info) = 0;
    // Decodes the preview member into this picture.
    [[nodiscard]] virtual bool DecodePreviewMember(cZIPFileContainer* container,
                                                   cSiArchTarget* target) = 0;

protected:
    [[nodiscard]] static bool FindPngMember(cZIPFileContainer* container, cSiArchTarget* target,
                                            const char* name, sPictInfo* info);
    [[nodiscard]] bool DecodePngMember(cZIPFileContainer* container, cSiArchTarget* target,
                                       const char* name);
};

// One format: its id and the name of its preview member.
template <i32 FormatId, const char* PreviewMember>
class cZIPPreviewFormat : public cZIPBasedPictFormat
{
public:
    i32 GetFormatId() override { return FormatId; }
    bool FindPreviewMember(cZIPFileContainer* container, cSiArchTarget* target,
                           sPictInfo* info) override
    {
        return FindPngMember(container, target, PreviewMember, info);
    }
    bool DecodePreviewMember(cZIPFileContainer* container, cSiArchTarget* target) override
    {
        return DecodePngMember(container, target, PreviewMember);
    }
};

inline constexpr char k3MFPreviewMember[] = "Metadata/thumbnail.png";
inline constexpr char kF3DPreviewMember[] = "FusionAssetName[Active]/Previews/small.png";
inline constexpr char kHwpxPreviewMember[] = "Preview/PrvImage.png";

class cPict3MF final : public cZIPPreviewFormat<kPictFormat3MF, k3MFPreviewMember>
{
};
class cPictF3D final : public cZIPPreviewFormat<kPictFormatF3D, kF3DPreviewMember>
{
};
class cPictHWPX final : public cZIPPreviewFormat<kPictFormatHWPX, kHwpxPreviewMember>
{
};

// The factory's probes over an archive it opened once for all three: FindPreviewMember on
// a temporary object of the format.
[[nodiscard]] bool Probe3MFPreview(cZIPFileContainer* container, cSiArchTarget* target,
                                   sPictInfo* info);
[[nodiscard]] bool ProbeF3DPreview(cZIPFileContainer* container, cSiArchTarget* target,
                                   sPictInfo* info);
[[nodiscard]] bool ProbeHwpxPreview(cZIPFileContainer* container, cSiArchTarget* target,
                                    sPictInfo* info);
