// Streams: positions and sizes of memory, string and file streams, whole
// transfers that raise on short ones, copying and file share modes.
#include "platform/rtl/streams.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/rtl/sysutils.h"
#include "testing/temp_dir.h"

namespace {

std::string Contents(TStream& s) {
  s.SetPosition(0);
  std::string out(static_cast<std::size_t>(s.Size()), '\0');
  s.ReadBuffer(out.data(), static_cast<int64_t>(out.size()));
  return out;
}

// The same behaviour from every kind of stream.
class AnyStream : public ::testing::TestWithParam<int> {
 protected:
  std::unique_ptr<TStream> Make() {
    switch (GetParam()) {
      case 0: return std::make_unique<TMemoryStream>();
      case 1: return std::make_unique<TStringStream>();
      default: return std::make_unique<TFileStream>(dir_.File("s.bin"), fmCreate);
    }
  }
  TempDir dir_;
};

TEST_P(AnyStream, SeeksFromEveryOriginAndFillsGapsWithZeros) {
  auto s = Make();
  s->WriteBuffer("abcdef", 6);
  EXPECT_EQ(s->Seek(-2, TSeekOrigin::soEnd), 4);
  EXPECT_EQ(s->Seek(-1, TSeekOrigin::soCurrent), 3);
  char c = 0;
  s->ReadBuffer(&c, 1);
  EXPECT_EQ(c, 'd');
  EXPECT_EQ(s->Seek(2, TSeekOrigin::soEnd), 8);
  s->WriteBuffer("Z", 1);
  EXPECT_EQ(Contents(*s), std::string("abcdef\0\0Z", 9));
  s->SetPosition(3);
  EXPECT_THROW(s->Seek(-4, TSeekOrigin::soCurrent), EStreamError);
  EXPECT_EQ(s->Position(), 3);  // a refused seek moves nothing
}

TEST_P(AnyStream, ShortWholeReadsRaiseAndPlainReadsReportWhatCame) {
  auto s = Make();
  s->WriteBuffer("abc", 3);
  s->SetPosition(1);
  char buf[8] = {};
  EXPECT_EQ(s->Read(buf, 8), 2);
  s->SetPosition(1);
  EXPECT_THROW(s->ReadBuffer(buf, 3), EReadError);
  s->SetPosition(10);
  EXPECT_EQ(s->Read(buf, 1), 0);
  s->ReadBuffer(buf, 0);  // nothing asked, nothing raised
}

TEST_P(AnyStream, SetSizeTruncatesAndClampsThePosition) {
  auto s = Make();
  s->WriteBuffer("abcdef", 6);
  s->SetSize(2);
  EXPECT_EQ(s->Size(), 2);
  EXPECT_EQ(s->Position(), 2);
  s->SetSize(4);
  EXPECT_EQ(Contents(*s), std::string("ab\0\0", 4));
  EXPECT_THROW(s->SetSize(-1), EStreamError);
}

TEST_P(AnyStream, CopyFromTakesAllOrACountFromThePosition) {
  auto target = Make();
  TStringStream source("0123456789");
  source.SetPosition(7);
  EXPECT_EQ(target->CopyFrom(source, 0), 10);  // 0: all of it from the start
  source.SetPosition(2);
  EXPECT_EQ(target->CopyFrom(source, 3), 3);
  EXPECT_EQ(Contents(*target), "0123456789234");
  source.SetPosition(8);
  EXPECT_THROW(target->CopyFrom(source, 5), EReadError);
}

INSTANTIATE_TEST_SUITE_P(Kinds, AnyStream, ::testing::Values(0, 1, 2));

TEST(Streams, LargeCopiesCrossChunkBoundaries) {
  TMemoryStream source;
  std::string bytes(200000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  source.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  TStringStream target;
  EXPECT_EQ(target.CopyFrom(source, 0), 200000);
  EXPECT_EQ(target.DataString(), bytes);
}

TEST(Streams, MemoryStreamsRoundTripThroughFiles) {
  TempDir dir;
  TMemoryStream m;
  m.WriteBuffer("\x00\xFF\r\n\x1A", 5);
  m.SaveToFile(dir.File("m.bin"));
  EXPECT_EQ(dir.Read("m.bin"), std::string("\x00\xFF\r\n\x1A", 5));
  TMemoryStream back;
  back.WriteBuffer("old contents", 12);
  back.LoadFromFile(dir.File("M.BIN"));
  EXPECT_EQ(back.Size(), 5);
  EXPECT_EQ(back.Position(), 0);
  EXPECT_EQ(std::string(static_cast<const char*>(back.Memory()), 5), std::string("\x00\xFF\r\n\x1A", 5));
  back.Clear();
  EXPECT_EQ(back.Size(), 0);
  EXPECT_THROW(back.LoadFromFile(dir.File("missing.bin")), EFOpenError);
}

TEST(Streams, StringStreamReadsAndWritesTexts) {
  TStringStream s("Pokladna");
  EXPECT_EQ(s.ReadString(4), "Pokl");
  s.WriteString("XY");
  EXPECT_EQ(s.DataString(), "PoklXYna");
  EXPECT_EQ(s.ReadString(100), "na");
  EXPECT_EQ(s.ReadString(1), "");
}

TEST(Streams, FileStreamsFollowTheShareModes) {
  TempDir dir;
  const std::string name = dir.File("t.rps");
  {
    TFileStream created(name, fmCreate);
    created.WriteBuffer("page", 4);
    EXPECT_THROW({ TFileStream other(name, fmOpenRead | fmShareDenyNone); }, EFOpenError);
  }
  TFileStream reader(name, fmOpenRead | fmShareDenyNone);
  TFileStream second(name, fmOpenRead | fmShareDenyNone);
  EXPECT_THROW(reader.WriteBuffer("x", 1), EWriteError);
  try {
    TFileStream again(name, fmCreate);
    FAIL() << "created over an open file";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Cannot create file \"" + name + "\"");
  }
  EXPECT_EQ(dir.Read("t.rps"), "page");
  try {
    TFileStream missing(dir.File("%s.rps"), fmOpenRead);
    FAIL() << "opened a missing file";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file \"" + dir.File("%s.rps") + "\"");
  }
}

}  // namespace
