#!/bin/sh
# Regenerates the image fixtures from the two colour tables with ImageMagick 6.
# colours15.ppm: 5 x 3 pixels, 15 colours; colours21.ppm: 7 x 3 pixels, 21 colours.
set -e
cd "$(dirname "$0")"
convert colours15.ppm -type truecolor -compress none BMP3:bmp24.bmp
convert colours15.ppm -type palette -compress none BMP3:bmp4.bmp
convert colours21.ppm -type palette -compress none BMP3:bmp8.bmp
convert colours15.ppm -type truecolor -compress none tga24.tga
convert colours21.ppm -type palette -compress none tga8.tga
convert colours15.ppm -alpha set -channel A -fx 'i/5' +channel -type truecolormatte -compress none tga32.tga
