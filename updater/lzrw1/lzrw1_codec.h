// CLZRW1Codec: compresses a whole file into an update container
// (lzrw1_container.h) and expands a container back into its file.
//
// The updater only expands; compressing exists for the publishing side,
// which must produce the same containers. Containers are refused rather
// than followed when they are not what they claim: a stored (uncompressed)
// copy, a stream that would write past its expanded size or copy from
// before its output, one cut short, or a stored name that is not a bare
// file name.
//
// One object processes one file at a time; it keeps nothing between calls
// but the last failure's reason. Plain C++: what the user sees (two message
// texts and a wait cursor) goes through the CodecUi the caller gives.

#ifndef QUARRY_UPDATER_LZRW1_LZRW1_CODEC_H_
#define QUARRY_UPDATER_LZRW1_LZRW1_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace quarry {

// What the codec shows the user. Called on the processing thread; a GUI
// implementation marshals to its own.
class CodecUi {
 public:
  virtual ~CodecUi() = default;
  virtual void ShowMessage(const std::string& text) = 0;
  // Brackets an operation: show and hide a wait cursor.
  virtual void BeginWait() = 0;
  virtual void EndWait() = 0;
};

inline constexpr char kCannotRecompressText[] = "Error\nCannot Recompress a File";
inline constexpr char kDoubleCompressedText[] =
    "Error\nDecompressing a Double Compressed File";

class CLZRW1Codec {
 public:
  // `ui` is not owned and may be null (nothing is shown).
  explicit CLZRW1Codec(CodecUi* ui = nullptr);
  virtual ~CLZRW1Codec();
  CLZRW1Codec(const CLZRW1Codec&) = delete;
  CLZRW1Codec& operator=(const CLZRW1Codec&) = delete;

  // Compress flag 1: writes a container of `source` to *destination, with
  // the source's file name stored when use_name is 1.
  // Compress flag 0: expands the container at `source`. With use_name 1 and
  // a stored name, the file is written under that name in the folder of
  // *destination (or the current folder when *destination is empty), and
  // *destination receives the path used.
  // Returns 1 on success, 0 on failure (ErrorText() says why). A destination
  // created before a failure is left behind, possibly empty; the caller
  // deletes it.
  int ProcessFile(const std::string& source, std::string* destination, int compress,
                  int use_name);

  // Compresses source[0 .. length) into destination, whose size is
  // *capacity on entry (lzrw1::CompressCapacity(length) always suffices);
  // *capacity receives the stream's length. The stored form is written when
  // the data does not compress below length x 1.1. Returns 0, showing
  // kCannotRecompressText when show_messages is 1, when the source begins
  // with a 0 byte as a stream does (the source is then copied unchanged);
  // and 0 when the destination cannot hold the stored form.
  int CompressBuffer(const uint8_t* source, size_t length, uint8_t* destination,
                     size_t* capacity, int show_messages);

  // Expands `stream` into destination[0 .. capacity); *length_out receives
  // the bytes produced. Returns 0 for a stored copy (showing
  // kDoubleCompressedText), and for a stream that would write past the
  // capacity, copy from offset 0 or before the output, or ends inside an
  // item.
  int ExpandBuffer(const uint8_t* stream, size_t length, uint8_t* destination,
                   size_t capacity, size_t* length_out);

  // The last failure's reason (English, one line); empty after a success.
  const std::string& ErrorText() const { return error_; }

 private:
  int Compress(const std::string& source, const std::string& destination, bool use_name);
  int Expand(const std::string& source, std::string* destination, bool use_name);
  int Fail(std::string reason);
  void Show(const char* text);

  CodecUi* ui_;
  std::string error_;
};

}  // namespace quarry

#endif  // QUARRY_UPDATER_LZRW1_LZRW1_CODEC_H_
