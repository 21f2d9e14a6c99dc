#include "picture/factory/pictfactory.h"

#include "package/zipreader.h"
#include "picture/formats/dib.h"
#include "picture/formats/dicom.h"
#include "picture/formats/dicomlegacy.h"
#include "picture/formats/gif.h"
#include "picture/formats/icns.h"
#include "picture/formats/ico.h"
#include "picture/formats/jbig2picture.h"
#include "picture/formats/jp2picture.h"
#include "picture/formats/jpegpicture.h"
#include "picture/formats/pcxreader.h"
#include "picture/formats/pngreader.h"
#include "picture/formats/ppmreader.h"
#include "picture/formats/rawpictures.h"
#include "picture/formats/tgareader.h"
#include "picture/formats/tiffpicture.h"
#include "picture/formats/xpmreader.h"
#include "picture/formats/zippreview.h"

#include <new>

namespace {

using tProbe = bool (*)(cFileIOTarget* stream, sPictInfo* info);
using tZipProbe = bool (*)(cZIPFileContainer* container, cSiArchTarget* target, sPictInfo* info);

template <class tPicture, tProbe Probe>
cPictBase* ProbeAndCreate(cFileIOTarget* stream, sPictInfo* info)
{
    (void)stream->Seek(0);
    if (!Probe(stream, info)) {
        return nullptr;
    }
    // Always the cPictBase part, whatever the class derives from first.
    cPictBase* picture = static_cast<cPictBase*>(new (std::nothrow) tPicture);
    if (picture == nullptr || info != nullptr) {
        return picture;
    }
    (void)stream->Seek(0);
    if (!picture->Load(stream)) {
        picture->Delete();
        return nullptr;
    }
    return picture;
}

// Ordered by the fixed place of each format in the chain; formats not built yet have no
// step, and their places stay free.
constexpr sPictFactoryStep kSteps[] = {
    {1, kPictFormatJPEG, ProbeAndCreate<cPictJPEG, ProbeJPEG>},
    {2, kPictFormatPNG, ProbeAndCreate<cPictPNG, ProbePNG>},
    {3, kPictFormatGIF, ProbeAndCreate<cPictGIF, ProbeGIF>},
    {4, kPictFormatBMP, ProbeAndCreate<cPictBMP, ProbeBMP>},
    {5, kPictFormatDIB, ProbeAndCreate<cPictDIB, ProbeDIB>},
    {6, kPictFormatICO, ProbeAndCreate<cPictICO, ProbeICO>},
    {7, kPictFormatJP2, ProbeAndCreate<cPictJP2, ProbeJP2>},
    {8, kPictFormatJ2K, ProbeAndCreate<cPictJ2K, ProbeJ2K>},
    {9, kPictFormatICNS, ProbeAndCreate<cPictICNS, ProbeICNS>},
    {10, kPictFormatTGA, ProbeAndCreate<cPictTGA, ProbeTGA>},
    {11, kPictFormatMRW, ProbeAndCreate<cPictMRW, ProbeByReadInfo<cPictMRW>>},
    {12, kPictFormatRWL, ProbeAndCreate<cPictRWL, ProbeByReadInfo<cPictRWL>>},
    {13, kPictFormatORF, ProbeAndCreate<cPictORF, ProbeByReadInfo<cPictORF>>},
    {14, kPictFormatX3F, ProbeAndCreate<cPictX3F, ProbeByReadInfo<cPictX3F>>},
    {15, kPictFormatPEF, ProbeAndCreate<cPictPEF, ProbeByReadInfo<cPictPEF>>},
    {16, kPictFormatARW, ProbeAndCreate<cPictARW, ProbeByReadInfo<cPictARW>>},
    {17, kPictFormatSRW, ProbeAndCreate<cPictSRW, ProbeByReadInfo<cPictSRW>>},
    {18, kPictFormatIIQ, ProbeAndCreate<cPictIIQ, ProbeByReadInfo<cPictIIQ>>},
    {19, kPictFormatRAF, ProbeAndCreate<cPictRAF, ProbeByReadInfo<cPictRAF>>},
    {20, kPictFormatCRW, ProbeAndCreate<cPictCRW, ProbeByReadInfo<cPictCRW>>},
    {21, kPictFormatMOS, ProbeAndCreate<cPictMOS, ProbeByReadInfo<cPictMOS>>},
    {22, kPictFormatCR2, ProbeAndCreate<cPictCR2, ProbeByReadInfo<cPictCR2>>},
    {23, kPictFormatCR3, ProbeAndCreate<cPictCR3, ProbeByReadInfo<cPictCR3>>},
    {24, kPictFormatNEF, ProbeAndCreate<cPictNEF, ProbeByReadInfo<cPictNEF>>},
    {25, kPictFormat3FR, ProbeAndCreate<cPict3FR, ProbeByReadInfo<cPict3FR>>},
    {26, kPictFormatDNG, ProbeAndCreate<cPictDNG, ProbeByReadInfo<cPictDNG>>},
    {27, kPictFormatTIFFEP, ProbeAndCreate<cPictTIFF_EP, ProbeByReadInfo<cPictTIFF_EP>>},
    {28, kPictFormatTIFF, ProbeAndCreate<cPictTIFF, ProbeByReadInfo<cPictTIFF>>},
    {29, kPictFormatPPM, ProbeAndCreate<cPictPPM, ProbePPM>},
    {30, kPictFormatPCX, ProbeAndCreate<cPictPCX, ProbePCX>},
    {31, kPictFormatDICOM, ProbeAndCreate<cPictDICOM, ProbeDICOM>},
    {32, kPictFormatDICOMLegacy, ProbeAndCreate<cPictDICOMLegacy, ProbeDICOMLegacy>},
    {33, kPictFormatJBIG2, ProbeAndCreate<cPictJBIG2, ProbeJBIG2>},
    {34, kPictFormatXPM, ProbeAndCreate<cPictXPM, ProbeXPM>},
};

template <class tFormat, tZipProbe Probe>
cPictBase* ProbeAndCreateFromZip(cZIPFileContainer* container, cSiArchTarget* target,
                                 sPictInfo* info)
{
    if (!Probe(container, target, info)) {
        return nullptr;
    }
    tFormat* picture = new (std::nothrow) tFormat;
    if (picture == nullptr || info != nullptr) {
        return picture;
    }
    if (!picture->DecodePreviewMember(container, target)) {
        picture->Delete();
        return nullptr;
    }
    return picture;
}

using tZipStep = cPictBase* (*)(cZIPFileContainer* container, cSiArchTarget* target,
                                sPictInfo* info);

constexpr tZipStep kZipSteps[] = {
    ProbeAndCreateFromZip<cPict3MF, Probe3MFPreview>,
    ProbeAndCreateFromZip<cPictF3D, ProbeF3DPreview>,
    ProbeAndCreateFromZip<cPictHWPX, ProbeHwpxPreview>,
};

// The archive is opened once for the three formats.
cPictBase* CreateFromZip(cFileIOTarget* stream, sPictInfo* info)
{
    (void)stream->Seek(0);
    if (!IsZipStream(stream)) {
        return nullptr;
    }
    cSiArchTarget target;
    cZIPFileContainer container;
    if (container.Open(stream, &target, 0, nullptr) != kZipOk) {
        return nullptr;
    }
    for (tZipStep step : kZipSteps) {
        if (cPictBase* picture = step(&container, &target, info)) {
            return picture;
        }
    }
    return nullptr;
}

} // namespace

cPictBase* PictCreateFromStream(cFileIOTarget* stream, sPictInfo* info)
{
    if (info != nullptr) {
        *info = {};
    }
    if (stream == nullptr) {
        return nullptr;
    }
    for (const sPictFactoryStep& step : kSteps) {
        if (cPictBase* picture = step.run(stream, info)) {
            return picture;
        }
    }
    return CreateFromZip(stream, info);
}
