/* Test-only colour oracle for the ICNS reader: libicns's decode of the named element types
 * of an icon file, each written to stdout as a PAM (RGB_ALPHA, 8 bits). A type libicns cannot
 * decode is written as a 0 x 0 image.
 * Build: cc -o icns_oracle icns_oracle.c -licns   Usage: icns_oracle FILE TYPE...  */
#include <icns.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv)
{
    FILE* file = argc > 1 ? fopen(argv[1], "rb") : NULL;
    icns_family_t* family = NULL;
    if (file == NULL || icns_read_family_from_file(file, &family) != 0) {
        return 1;
    }
    icns_set_print_errors(0);
    for (int i = 2; i < argc; ++i) {
        const unsigned char* name = (const unsigned char*)argv[i];
        icns_type_t type = (icns_type_t)name[0] << 24 | (icns_type_t)name[1] << 16 |
                           (icns_type_t)name[2] << 8 | name[3];
        icns_image_t image;
        memset(&image, 0, sizeof image);
        if (icns_get_image32_with_mask_from_family(family, type, &image) != 0 ||
            image.imageChannels != 4) {
            printf("P7\nWIDTH 0\nHEIGHT 0\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n");
            continue;
        }
        printf("P7\nWIDTH %u\nHEIGHT %u\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n",
               (unsigned)image.imageWidth, (unsigned)image.imageHeight);
        fwrite(image.imageData, 4, (size_t)image.imageWidth * image.imageHeight, stdout);
        icns_free_image(&image);
    }
    return 0;
}
