// Real JPEG frames made with libjpeg, carrying the marker segments a camera
// writes into its header (an APPn segment or the comment segment).
#ifndef TOOLS_CAMSIM_JPEGFRAME_H
#define TOOLS_CAMSIM_JPEGFRAME_H

#include <string>
#include <utility>
#include <vector>

namespace camsim {

// One marker segment: code 0xE0..0xEF or 0xFE, payload up to 65533 bytes.
typedef std::pair<int, std::string> JpegMarker;

// A baseline greyscale JPEG of width x height (a gradient shifted by shade,
// so frames differ), with the markers written after the SOI in the order
// given; jfif adds the usual JFIF APP0 first. Empty on a libjpeg error.
std::vector<unsigned char> MakeJpegFrame(int width, int height, int shade, const std::vector<JpegMarker>& markers,
                                         bool jfif = false, int quality = 75);

// The marker-bomb fault: count empty comment segments (FF FE 00 02) put right
// after the frame's SOI.
const size_t kMarkerBombSegments = 80000;
void AddEmptyComments(std::vector<unsigned char>& frame, size_t count);

}  // namespace camsim

#endif  // TOOLS_CAMSIM_JPEGFRAME_H
