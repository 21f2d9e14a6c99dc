#include "picture/props/propsfactory.h"

#include "picture/factory/pictfactory.h"
#include "picture/formats/jpegpicture.h"
#include "picture/props/exeprops.h"
#include "picture/props/imageprops.h"

#include <new>

cFileObjectProps* CreateFileProps(cFileIOTarget* stream)
{
    if (stream == nullptr) {
        return nullptr;
    }
    sPictInfo info;
    cPictBase* picture = PictCreateFromStream(stream, &info);
    if (picture == nullptr) {
        (void)stream->Seek(0);
        return IsPeWithResources(stream) ? new (std::nothrow) cWinExeProps : nullptr;
    }
    if (picture->GetFormatId() == kPictFormatJPEG) {
        picture->Delete();
        return new (std::nothrow) cJPEGProps;
    }
    cSimpleImageProps* reader = new (std::nothrow) cSimpleImageProps(picture);
    if (reader == nullptr) {
        picture->Delete();
    }
    return reader;
}
