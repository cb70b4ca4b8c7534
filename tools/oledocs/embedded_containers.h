// Containers that Office and other programs put into OLE objects: compound
// files with chosen streams (written with libgsf), Office Open XML packages of
// the three main kinds (written with libzip), and the OLE values around them.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/oledocs/ole_wrappers.h"

namespace corvid::oledocs {

// A compound file whose root storage holds the given streams, in order.
// Throws std::runtime_error when libgsf fails.
Bytes BuildCompoundFileWith(const std::vector<std::pair<std::string, Bytes>>& streams);

// The "\x01Ole10Native" stream content for packager data: a 32-bit size, then
// the data.
Bytes Ole10NativeStream(ByteSpan packagerData);

// The packager native data of WrapPackage (without the OLE wrapper).
Bytes PackagerData(std::string_view fileName, std::string_view sourcePath, ByteSpan fileBytes);

enum class OfficeOpenXmlKind { Word, Excel, PowerPoint };
// A minimal package of the kind: [Content_Types].xml naming its main part,
// the relationships and the main part. Written with libzip (deflated).
Bytes BuildOfficeOpenXml(OfficeOpenXmlKind kind);

// A packaged link to a file ("Package" / "Package", packager kind
// 0x00010000): the label, the path, a 16-bit value and the link target;
// no file bytes.
Bytes WrapLinkedPackage(std::string_view label, std::string_view linkTarget);

// An OLE 1.0 linked object (format 1) of a class: the topic names the file.
Bytes WrapLinkedObject(std::string_view oleClass, std::string_view linkedFile);

}  // namespace corvid::oledocs
