// Loading one image of the package into a PacketBuffer for its transfer.
//
// The result says how the payload came to be (PacketBuffer::imageLoad):
//   kLoaded     the slot is present and its whole image can be had: totalLength bytes,
//               chunkCount = totalLength / chunkSize rounded up. On Windows the image is
//               read whole into payload; on POSIX systems each chunk is read from the file
//               as it is framed (PacketBuffer::PayloadBytes), and a chunk that can no
//               longer be read fails the transfer.
//   kEmptySlot  the slot is present with data size 0: the package deliberately holds no
//               bytes for it. totalLength and chunkCount are 0, chunkSize is kept; the
//               transfer sends zero packets, which is all the package asks for.
//   kFailed     the slot was requested but its image cannot be had in full: the slot is
//               absent (presence byte not 1; only the partition-table override requests
//               such a slot, after the run-start check passed it by), currentImageIndex
//               names no slot, the program file cannot be opened or its size read, it holds
//               no marker, the entry does not lie inside the file, the memory for the image
//               cannot be had, or fewer bytes were read than the directory gives.
//               totalLength, chunkCount and chunkSize are 0 and there is no payload. A
//               transfer step must fail on this rather than report success with nothing sent.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "protocol/packet_buffer.h"

// Chunk sizes: stream-write images, and the header images that travel inside open requests.
constexpr uint32_t kStreamChunkSize = 798720;  // 0xC3000
constexpr uint32_t kHeaderChunkSize = 10240;   // 0x2800

// Loads the slot named by currentImageIndex from the package in the program file
// (PackageFilePath()), using the directory of the last DecodePackageDirectory. fileName
// is the image's name (prefixed by the image folder in service mode); the images always
// come from the package, so it only names the image. Returns null only when not even the
// buffer's own record could be allocated; the transfer buffers or the image's memory that
// cannot be had make the load kFailed.
std::unique_ptr<PacketBuffer> OpenPackageImage(uint32_t chunkSize, const std::string& fileName);

// Whether the load gave nothing a transfer may use (null, or kFailed).
bool ImageLoadFailed(const std::unique_ptr<PacketBuffer>& buffer);
