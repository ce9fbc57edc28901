#pragma once
// The picture on the clipboard for the user to paste into a mail, in the formats that mail programs,
// browsers (the new Outlook and webmail run in one) and Wine's X11 clipboard read: "PNG" and CF_DIB.
// cDIBSection::CopyToClipboard keeps to its own bitmap.

#include <string>

#include "image/dib_section.h"

namespace pasting {

// Empties the clipboard and puts the image on it as a PNG file (registered format "PNG", encoded by
// the imaging component) and as a packed DIB (CF_DIB, from which the system makes CF_BITMAP and
// CF_DIBV5: "Synthesized Clipboard Formats"). True when the clipboard took the image in at least one
// of them; false when it stayed closed to us (another program holding it open), or took neither.
bool PutOnClipboard(const cDIBSection& image);

// The image as a PNG file, as PutOnClipboard offers it; empty when it cannot be encoded.
std::string PngFile(const cDIBSection& image);

}  // namespace pasting
