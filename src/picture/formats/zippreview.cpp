#include "picture/formats/zippreview.h"

#include "picture/formats/pngreader.h"

#include <memory>

namespace {

struct sStreamDelete
{
    void operator()(cFileIOTarget* stream) const { stream->Delete(); }
};
using tMemberStream = std::unique_ptr<cFileIOTarget, sStreamDelete>;

// The member stream of the file entry `name`, or null when there is no such file or it
// cannot be opened (an unsupported method, encryption, a broken local header).
tMemberStream OpenMember(cZIPFileContainer* container, cSiArchTarget* target,
                         const char* name)
{
    if (container == nullptr || target == nullptr) {
        return nullptr;
    }
    const cArchiveFile::sFile* entry = target->FindFile(name);
    if (entry == nullptr) {
        return nullptr;
    }
    return tMemberStream(cArchiveFile::OpenFileStream(entry, 0, container));
}

// Opens the archive in `stream` for one question, with a target and container of its own.
template <class tUse>
bool WithOpenedArchive(cFileIOTarget* stream, tUse use)
{
    if (stream == nullptr) {
        return false;
    }
    cSiArchTarget target;
    cZIPFileContainer container;
    if (container.Open(stream, &target, 0, nullptr) != kZipOk) {
        return false;
    }
    return use(&container, &target);
}

template <class tFormat>
bool ProbePreview(cZIPFileContainer* container, cSiArchTarget* target, sPictInfo* info)
{
    tFormat format;
    return format.FindPreviewMember(container, target, info);
}

} // namespace

bool cZIPBasedPictFormat::ReadInfo(cFileIOTarget* stream, sPictInfo* info)
{
    return WithOpenedArchive(stream, [&](cZIPFileContainer* container, cSiArchTarget* target) {
        return FindPreviewMember(container, target, info);
    });
}

bool cZIPBasedPictFormat::Load(cFileIOTarget* stream)
{
    return WithOpenedArchive(stream, [&](cZIPFileContainer* container, cSiArchTarget* target) {
        return DecodePreviewMember(container, target);
    });
}

bool cZIPBasedPictFormat::FindPngMember(cZIPFileContainer* container, cSiArchTarget* target,
                                        const char* name, sPictInfo* info)
{
    const tMemberStream member = OpenMember(container, target, name);
    return member != nullptr && ProbePNG(member.get(), info);
}

bool cZIPBasedPictFormat::DecodePngMember(cZIPFileContainer* container, cSiArchTarget* target,
                                          const char* name)
{
    const tMemberStream member = OpenMember(container, target, name);
    if (member == nullptr) {
        return false;
    }
    // A fresh reader parses in full mode; the member stream starts at 0.
    cPictPNG png;
    if (!png.ParseStream(member.get())) {
        return false;
    }
    TakePixels(&png);
    return true;
}

bool Probe3MFPreview(cZIPFileContainer* container, cSiArchTarget* target, sPictInfo* info)
{
    return ProbePreview<cPict3MF>(container, target, info);
}

bool ProbeF3DPreview(cZIPFileContainer* container, cSiArchTarget* target, sPictInfo* info)
{
    return ProbePreview<cPictF3D>(container, target, info);
}

bool ProbeHwpxPreview(cZIPFileContainer* container, cSiArchTarget* target, sPictInfo* info)
{
    return ProbePreview<cPictHWPX>(container, target, info);
}
