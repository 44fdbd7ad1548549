// Opening the built-in reader by name and by handle, the synchronous reads of the open, the
// ring geometry, and closing.
#include "tests/io/io_test_util.h"

namespace {

using namespace io_test;

TEST(StreamBufferSize, WholeChunksPlusAlignmentAndNeverBelowTheMinimum) {
  EXPECT_EQ(StreamBufferSize(nullptr, 0), 266240u);
  EXPECT_EQ(StreamBufferSize(nullptr, 100000), 266240u);
  EXPECT_EQ(StreamBufferSize(nullptr, 2 * kChunk), 266240u);
  EXPECT_EQ(StreamBufferSize(nullptr, 2 * kChunk + 1), 3 * kChunk + 4096);
  EXPECT_EQ(StreamBufferSize(nullptr, 300000), 397312u);
  // The largest requests stay within 32 bits instead of wrapping to a tiny buffer.
  EXPECT_EQ(StreamBufferSize(nullptr, 0xFFFFFFFFu), 0xFFFE1000u);
}

TEST(StreamOpen, MissingFileOrDirectoryFails) {
  StreamReader r{};
  EXPECT_EQ(StreamOpenFile(&r, (TestTempDir() + "/no-such-file.vxa").c_str(), 0), 0);
  EXPECT_EQ(r.File, nullptr);
  EXPECT_EQ(StreamOpenFile(&r, TestTempDir().c_str(), 0), 0);
  EXPECT_EQ(StreamOpenFile(&r, nullptr, 0), 0);
  EXPECT_EQ(StreamOpenFile(nullptr, "x", 0), 0);
}

class StreamReadAtTest : public CountingFiles {};

TEST_F(StreamReadAtTest, ReadsAtOffsetsAndContinues) {
  TestReader t;
  ASSERT_TRUE(StreamOpenFile(&t.Reader, MakePatternFile("readat.bin", 5000).c_str(), 0));
  t.Open = true;
  StreamReader* r = &t.Reader;
  std::vector<uint8_t> buf(100);
  EXPECT_EQ(r->StreamReadAt(r, 0, buf.data(), 44), 44u);
  EXPECT_EQ(std::vector<uint8_t>(buf.begin(), buf.begin() + 44), Pattern(0, 44));
  EXPECT_EQ(r->StreamReadAt(r, STREAM_CONTINUE, buf.data(), 100), 100u);
  EXPECT_EQ(buf, Pattern(44, 100));
  EXPECT_EQ(Seeks(), 0u);  // reading on from where the file stands needs no seek
  EXPECT_EQ(r->StreamReadAt(r, 144, buf.data(), 100), 100u);
  EXPECT_EQ(Seeks(), 0u);
  EXPECT_EQ(r->StreamReadAt(r, 1000, buf.data(), 100), 100u);
  EXPECT_EQ(buf, Pattern(1000, 100));
  EXPECT_EQ(Seeks(), 1u);
  EXPECT_EQ(r->FilePos, 1100u);
  EXPECT_EQ(r->ConsumerPos, 1100u);
  EXPECT_EQ(r->ReadError, 0u);
  EXPECT_EQ(r->BytesRead, 0u);  // header reads are not counted
}

TEST_F(StreamReadAtTest, ReadPastTheEndIsShortAndSetsReadError) {
  TestReader t;
  ASSERT_TRUE(StreamOpenFile(&t.Reader, MakePatternFile("short.bin", 1000).c_str(), 0));
  t.Open = true;
  StreamReader* r = &t.Reader;
  std::vector<uint8_t> buf(100, 0xEE);
  EXPECT_EQ(r->StreamReadAt(r, 950, buf.data(), 100), 50u);
  EXPECT_EQ(std::vector<uint8_t>(buf.begin(), buf.begin() + 50), Pattern(950, 50));
  EXPECT_EQ(buf[50], 0xEE);  // nothing written past what was read
  EXPECT_EQ(r->ReadError, 1u);
  EXPECT_EQ(r->StreamReadAt(r, 0xFFFFFF00u, buf.data(), 100), 0u);
}

TEST_F(StreamReadAtTest, ReadAtRestartsTheRingFromTheNewPosition) {
  TestReader t;
  ASSERT_TRUE(t.OpenFile(MakePatternFile("readat-ring.bin", 4 * kChunk), 3, 4 * kChunk));
  StreamReader* r = &t.Reader;
  EXPECT_EQ(t.FillAll(), 3u);
  std::vector<uint8_t> buf(10);
  EXPECT_EQ(r->StreamReadAt(r, STREAM_CONTINUE, buf.data(), 10), 10u);
  EXPECT_EQ(buf, Pattern(3 * kChunk, 10));
  // The ring's bytes lie behind the file position now; delivery goes on after the read.
  EXPECT_EQ(r->Used, 0u);
  EXPECT_EQ(r->Free, r->BufSize);
  EXPECT_EQ(t.Frame(STREAM_CONTINUE, 20), Pattern(3 * kChunk + 10, 20));
}

TEST(StreamHandle, OffsetsCountFromTheHandlePositionAndTheHandleStaysOpen) {
  const std::string path = MakePatternFile("handle.bin", 40000);
  const void* handle = TestOpenHandle(path, 5000);
  ASSERT_NE(handle, nullptr);
  {
    TestReader t;
    ASSERT_EQ(StreamOpenFile(&t.Reader, handle, OpenFromHandle), 1);
    t.Open = true;
    StreamReader* r = &t.Reader;
    EXPECT_EQ(r->BaseOffset, 5000u);
    EXPECT_EQ(r->DontClose, 1u);
    std::vector<uint8_t> buf(16);
    EXPECT_EQ(r->StreamReadAt(r, 0, buf.data(), 16), 16u);
    EXPECT_EQ(buf, Pattern(5000, 16));
    EXPECT_EQ(r->StreamReadAt(r, 1000, buf.data(), 16), 16u);
    EXPECT_EQ(buf, Pattern(6000, 16));
    t.SetRing(2, 35000);
    EXPECT_EQ(t.Frame(2000, 100), Pattern(7000, 100));
    EXPECT_EQ(t.FillAll(), 1u);  // the remaining 32,900 bytes of the movie
    EXPECT_EQ(t.Frame(STREAM_CONTINUE, 32900), Pattern(7100, 32900));
    EXPECT_EQ(r->ReadError, 0u);
  }
  EXPECT_EQ(TestHandlePosition(handle), 40000);  // closed reader, handle still usable
  TestCloseHandle(handle);
}

TEST(StreamSetBuffer, RingIsAlignedWholeChunksInsideTheBuffer) {
  TestReader t;
  ASSERT_TRUE(StreamOpenFile(&t.Reader, MakePatternFile("ring.bin", 100).c_str(), 0));
  t.Open = true;
  StreamReader* r = &t.Reader;
  // A buffer of exactly three chunks that is not aligned holds only two aligned ones.
  std::vector<uint8_t> raw(3 * kChunk + 2 * STREAM_RING_ALIGN);
  uint8_t* aligned = raw.data() + (STREAM_RING_ALIGN - reinterpret_cast<uintptr_t>(raw.data()) %
                                                           STREAM_RING_ALIGN);
  r->StreamSetBuffer(r, aligned + 1, 3 * kChunk, 100, 0);
  EXPECT_EQ(r->BufSize, 2 * kChunk);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(r->RingStart) % STREAM_RING_ALIGN, 0u);
  EXPECT_EQ(r->RingStart, aligned + STREAM_RING_ALIGN);
  EXPECT_LE(r->RingEnd, aligned + 1 + 3 * kChunk);
  EXPECT_EQ(r->Free, 2 * kChunk);

  r->StreamSetBuffer(r, aligned, 3 * kChunk + 5, 100, 0);
  EXPECT_EQ(r->BufSize, 3 * kChunk);
  EXPECT_EQ(r->RingStart, aligned);

  r->StreamSetBuffer(r, nullptr, 0, 100, 0);
  EXPECT_EQ(r->BufSize, 0u);
  EXPECT_EQ(r->Free, 0u);
  EXPECT_EQ(r->StreamFill(r, 0), 0u);
}

TEST(StreamSetBuffer, WithoutARingFramesComeStraightFromTheFile) {
  TestReader t;
  ASSERT_TRUE(StreamOpenFile(&t.Reader, MakePatternFile("preload.bin", 300000).c_str(), 0));
  t.Open = true;
  t.Reader.StreamSetBuffer(&t.Reader, nullptr, 0, 300000, 0);
  EXPECT_EQ(t.Frame(100, 299900), Pattern(100, 299900));
  EXPECT_EQ(t.Reader.BytesRead, 299900u);
  EXPECT_EQ(t.Reader.ReadError, 0u);
}

TEST(StreamClose, ClosedReaderDeliversNothingAndClosesOnce) {
  TestReader t;
  ASSERT_TRUE(t.OpenFile(MakePatternFile("close.bin", 3 * kChunk), 2, 3 * kChunk));
  StreamReader* r = &t.Reader;
  r->StreamClose(r);
  EXPECT_EQ(r->File, nullptr);
  EXPECT_EQ(t.Fill(), 0u);
  uint32_t got = 1;
  t.Frame(0, 100, &got);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(r->ReadError, 1u);
  r->StreamClose(r);  // closing again does nothing
}

}  // namespace
