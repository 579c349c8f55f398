// Checks that a JPEG stream stays inside the subset the saver's pictures
// must keep: SOF0, 8-bit samples, a width that is a multiple of 4 (the scene
// uploads the decoded rows tightly packed), three components all sampled
// 1 x 1, Y with quantisation table 0 and Cb, Cr with table 1, each DQT table in its own
// segment with 8-bit entries, the four Huffman tables DC 0, AC 0, DC 1, AC 1,
// no restart interval, one scan with all three components (luma on tables
// 0, chroma on tables 1), SOI first and EOI last, and the decoder decodes it
// to its last block from the scan's own data.
//
// The decoder itself accepts more than this (and decodes some of it wrongly);
// this check is for the tools that build and verify the data packs, so it
// lists every departure instead of stopping at the first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class JpegDeparture : uint8_t {
  noSoi,                // the stream does not begin with SOI
  noEoi,                // the stream does not end with EOI right after the scan data
  truncated,            // a segment runs past the end of the data
  badMarker,            // a byte other than 0xFF where a marker must stand
  notBaselineFrame,     // a frame other than SOF0
  notEightBit,          // sample precision other than 8
  widthNotMultipleOf4,  // the decoded rows carry padding the texture upload would read as pixels
  notThreeComponents,   // a component count other than 3
  notOneByOne,          // a component sampled other than 1 x 1
  quantAssignment,      // Y not on table 0, or Cb / Cr not on table 1
  sharedDqtSegment,     // more than one quantisation table in a DQT segment
  sixteenBitDqt,        // a quantisation table with 16-bit entries
  otherQuantTable,      // a quantisation table other than 0 and 1
  huffmanSelector,      // a Huffman table other than DC 0, AC 0, DC 1, AC 1
  missingHuffmanTable,  // one of the four Huffman tables is not defined
  restartInterval,      // a DRI segment
  notOneScan,           // no scan, or more than one
  scanComponents,       // a scan without exactly the three frame components
  scanTables,           // a scan component on other Huffman tables than luma 0 / chroma 1
  scanEndsEarly,        // the scan's data ends, or a marker comes, before its last block: the decoder fills with zeros
  badHuffmanCode,       // the scan holds a bit pattern that no Huffman table has: damaged data
  notDecodable,         // the saver's decoder refuses the stream
};
const char* jpegDepartureText(JpegDeparture departure);

// Every departure found, each kind once, in the order of the enum.
std::vector<JpegDeparture> checkJpegSubset(const uint8_t* data, size_t length);
