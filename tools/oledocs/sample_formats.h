// Builders of the individual sample documents; sample_documents.cpp picks
// one per format. Each takes the checked picture size.
#pragma once

#include "tools/oledocs/sample_documents.h"

namespace corvid::oledocs::formats {

// Rendered with Qt (rendered_documents.cpp).
Bytes RenderPng(PictureSize size);
Bytes RenderJpegJfif(PictureSize size);
Bytes RenderJpegExif(PictureSize size);
Bytes RenderBmp(PictureSize size);
Bytes RenderTiffLittleEndian(PictureSize size);
Bytes RenderPdf(PictureSize size);

// Built here.
Bytes BuildGif(PictureSize size, bool version89a);  // gif_encoder.cpp
Bytes BuildTiffBigEndian(PictureSize size);         // tiff_big_endian.cpp
Bytes BuildPsd(PictureSize size);                   // header_documents.cpp
Bytes BuildCpt(std::string_view signature, PictureSize size);
Bytes BuildWmf(PictureSize size, bool placeable);
Bytes BuildPsp(PictureSize size);
Bytes BuildAvi(PictureSize size);
Bytes BuildDwg();
Bytes BuildJp2(PictureSize size);
Bytes BuildPict(PictureSize size);
Bytes BuildCrw();
Bytes BuildCompoundFile();          // compound_file.cpp
Bytes BuildOfficeOpenXmlPackage();  // zip_archive.cpp
Bytes BuildPlainZip();

}  // namespace corvid::oledocs::formats
