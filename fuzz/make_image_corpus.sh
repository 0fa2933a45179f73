#!/bin/sh
# Writes a seed corpus for fuzz_image into DIR: small valid files of every kind the image
# readers know, in their main variants, made with ImageMagick. Usage: make_image_corpus.sh DIR
set -e
dir=${1:?usage: make_image_corpus.sh DIR}
mkdir -p "$dir"
if ! command -v convert > /dev/null 2>&1; then
    echo "make_image_corpus: ImageMagick's convert is missing; no seeds written" >&2
    exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Two small sources: a colour picture with varying alpha and one with few colours.
convert -size 12x7 gradient:red-blue \( -size 12x7 gradient:white-black -rotate 90 -resize 12x7! \) \
    -alpha off -compose CopyOpacity -composite "png32:$work/alpha.png"
convert -size 11x6 gradient:green-yellow \( -size 11x6 gradient:black-red -flop \) \
    -compose Plus -composite -colors 6 "png24:$work/few.png"

seed() { # seed NAME FORMAT SOURCE OPTIONS...
    name=$1 format=$2 source=$3
    shift 3
    convert "$source" "$@" "$format:$dir/$name"
}

seed tga-rgba.tga tga "$work/alpha.png" -orient TopLeft
seed tga-rgb-rle.tga tga "$work/few.png" -type TrueColor -compress RLE
seed tga-mapped.tga tga "$work/few.png" -type Palette
seed tga-mapped-rle.tga tga "$work/few.png" -type Palette -compress RLE -orient TopRight
seed tga-grey.tga tga "$work/few.png" -type Grayscale -orient BottomRight
seed bmp3-24.bmp bmp3 "$work/few.png" -type TrueColor
seed bmp5-32.bmp bmp "$work/alpha.png" -type TrueColorAlpha
seed bmp2-core.bmp bmp2 "$work/few.png" -type TrueColor
seed bmp3-8.bmp bmp3 "$work/few.png" -type Palette -compress None
seed bmp3-rle8.bmp bmp3 "$work/few.png" -type Palette -compress RLE
seed bmp3-4.bmp bmp3 "$work/few.png" -colors 5 -type Palette -compress None
seed bmp3-1.bmp bmp3 "$work/few.png" -colors 2 -type Palette -compress None
seed bmp-565.bmp bmp "$work/few.png" -define bmp:subtype=RGB565
seed bmp-4444.bmp bmp "$work/alpha.png" -define bmp:subtype=ARGB4444
seed ppm-raw.ppm ppm "$work/few.png" -depth 8
seed ppm-raw16.ppm ppm "$work/few.png" -depth 16
seed ppm-plain.ppm ppm "$work/few.png" -depth 8 -compress none
seed dds-none.dds dds "$work/alpha.png" -resize 8x4! -define dds:compression=none
seed dds-dxt1.dds dds "$work/few.png" -resize 8x8! -define dds:compression=dxt1
seed dds-dxt5.dds dds "$work/alpha.png" -resize 8x4! -define dds:compression=dxt5
seed jpeg-baseline.jpg jpg "$work/few.png" -quality 80
seed jpeg-progressive.jpg jpg "$work/few.png" -interlace JPEG
seed jpeg-grey.jpg jpg "$work/few.png" -colorspace Gray
seed png-palette.png png8 "$work/few.png" -type Palette
seed png-grey.png png "$work/few.png" -type Grayscale
seed png-rgba-interlaced.png png32 "$work/alpha.png" -interlace PNG
seed png-rgb16.png png48 "$work/few.png" -depth 16

# Headerless DIBs: the BMP files without their 14-byte file header.
tail -c +15 "$dir/bmp3-24.bmp" > "$dir/dib-24.dib"
tail -c +15 "$dir/bmp3-rle8.bmp" > "$dir/dib-rle8.dib"
