/* libXpm's reading of an XPM file as a PAM (RGB_ALPHA) on stdout: XpmReadFileToImage on
 * the display's 24-bit TrueColor visual, so that libXpm chooses the visual's colour and
 * the X server's colour database resolves the names; transparent where the shape mask is
 * clear. Exit status 1 when libXpm refuses the file or reports a colour it could not find.
 * Run under xvfb-run with a 24-bit screen:
 *     cc -o xpm_oracle xpm_oracle.c -lXpm -lX11
 *     xvfb-run -a -s '-screen 0 64x64x24' ./xpm_oracle file.xpm > file.pam
 */
#include <X11/xpm.h>

#include <stdio.h>

int main(int argc, char** argv)
{
    Display* display = XOpenDisplay(NULL);
    XImage* image = NULL;
    XImage* shape = NULL;
    XpmAttributes attributes;
    attributes.valuemask = 0;
    if (argc != 2 || display == NULL ||
        XpmReadFileToImage(display, argv[1], &image, &shape, &attributes) != XpmSuccess) {
        return 1;
    }
    printf("P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n",
           image->width, image->height);
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            const int opaque = shape == NULL || XGetPixel(shape, x, y) != 0;
            putchar((int)(pixel >> 16 & 0xFF));
            putchar((int)(pixel >> 8 & 0xFF));
            putchar((int)(pixel & 0xFF));
            putchar(opaque ? 255 : 0);
        }
    }
    return 0;
}
