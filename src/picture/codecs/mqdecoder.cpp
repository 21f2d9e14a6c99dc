#include "picture/codecs/mqdecoder.h"

const sMqQeEntry kMqQeTable[47] = {
    {0x5601, 1, 1, 1},   {0x3401, 2, 6, 0},   {0x1801, 3, 9, 0},   {0x0AC1, 4, 12, 0},
    {0x0521, 5, 29, 0},  {0x0221, 38, 33, 0}, {0x5601, 7, 6, 1},   {0x5401, 8, 14, 0},
    {0x4801, 9, 14, 0},  {0x3801, 10, 14, 0}, {0x3001, 11, 17, 0}, {0x2401, 12, 18, 0},
    {0x1C01, 13, 20, 0}, {0x1601, 29, 21, 0}, {0x5601, 15, 14, 1}, {0x5401, 16, 14, 0},
    {0x5101, 17, 15, 0}, {0x4801, 18, 16, 0}, {0x3801, 19, 17, 0}, {0x3401, 20, 18, 0},
    {0x3001, 21, 19, 0}, {0x2801, 22, 19, 0}, {0x2401, 23, 20, 0}, {0x2201, 24, 21, 0},
    {0x1C01, 25, 22, 0}, {0x1801, 26, 23, 0}, {0x1601, 27, 24, 0}, {0x1401, 28, 25, 0},
    {0x1201, 29, 26, 0}, {0x1101, 30, 27, 0}, {0x0AC1, 31, 28, 0}, {0x09C1, 32, 29, 0},
    {0x08A1, 33, 30, 0}, {0x0521, 34, 31, 0}, {0x0441, 35, 32, 0}, {0x02A1, 36, 33, 0},
    {0x0221, 37, 34, 0}, {0x0141, 38, 35, 0}, {0x0111, 39, 36, 0}, {0x0085, 40, 37, 0},
    {0x0049, 41, 38, 0}, {0x0025, 42, 39, 0}, {0x0015, 43, 40, 0}, {0x0009, 44, 41, 0},
    {0x0005, 45, 42, 0}, {0x0001, 45, 43, 0}, {0x5601, 46, 46, 0},
};

namespace {

inline u32 ByteAt(const sMqDecoder* d, u64 position)
{
    return position < d->size ? d->data[position] : 0xFF;
}

// T.88 E.3.4 BYTEIN. The decoder works on inverted bytes: after a marker (0xFF followed
// by a byte above 0x8F) the 1-bits it is fed are zeros once inverted, so C stays as it is.
inline void ByteIn(sMqDecoder* d)
{
    if (ByteAt(d, d->bp) == 0xFF) {
        const u32 next = ByteAt(d, d->bp + 1);
        if (next > 0x8F) {
            d->ct = 8;
        } else {
            ++d->bp;
            d->c += 0xFE00 - (next << 9);
            d->ct = 7;
        }
    } else {
        ++d->bp;
        d->c += 0xFF00 - (ByteAt(d, d->bp) << 8);
        d->ct = 8;
    }
}

} // namespace

void MqRenormD(sMqDecoder* d)
{
    do {
        if (d->ct == 0) {
            ByteIn(d);
        }
        d->a <<= 1;
        d->c <<= 1;
        --d->ct;
    } while ((d->a & 0x8000) == 0);
}

bool MqDecoderInit(sMqDecoder* decoder, const u8* data, u64 size)
{
    if (data == nullptr || size == 0) {
        return false;
    }
    decoder->data = data;
    decoder->size = size;
    decoder->bp = 0;
    // T.88 E.3.5 INITDEC.
    decoder->c = (ByteAt(decoder, 0) ^ 0xFF) << 16;
    ByteIn(decoder);
    decoder->c <<= 7;
    decoder->ct -= 7;
    decoder->a = 0x8000;
    return true;
}
