// String fields read their text straight from the dataset's record; what
// they give must be what the field's buffer and Translate give, whatever
// the stored bytes (blanks, zero bytes, OEM letters) and the translation
// settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include "dbase/base/os_layer.h"
#include "dbase/dataset/xbase_dataset.h"
#include "dbase/table/dbf_fields.h"
#include "dbase/testing/table_fixtures.h"
#include "testing/temp_dir.h"

namespace {

// What a string field holds of stored bytes, told independently: trailing
// blanks and zero bytes go, then the text ends at its first zero byte.
std::string Expected(const std::string& bytes, bool translate) {
  std::size_t n = bytes.size();
  while (n > 0 && (bytes[n - 1] == ' ' || bytes[n - 1] == '\0')) --n;
  std::string text = bytes.substr(0, std::min(n, bytes.find('\0')));
  return translate ? OemToAnsi(text) : text;
}

}  // namespace

TEST(XbaseDatasetText, StringFieldsGiveWhatTheirBufferAndTranslateGive) {
  TempDir data;
  constexpr int kWidth = 20;
  const std::string path = table_test::MakeTable(data.Path(), "TEXTS.DBF", {{"NAME", 'C', kWidth, 0}}, 0x03);
  // Padding of every length, across the eight-byte steps the trimming
  // takes, and bytes that differ from a blank or a zero by one bit.
  const std::string stored[] = {
      std::string("ABC     ", 8),  std::string("        ", 8),  std::string("AB\0CD   ", 8),
      std::string("\0ABC    ", 8), std::string("AB C \0\0\0", 8), std::string("\x8e\x9c\xe7 x   ", 8),
      std::string("12345678", 8),  std::string(" lead\0 \0", 8), std::string(12, ' ') + "x",
      std::string(11, ' ') + "@" + std::string(8, '\0'), std::string("ABCDEFGHIJKLMNOPQRS\xa0", 20),
      "abcdefghijklmnop`", std::string("ab") + std::string(18, '\0'), std::string(20, '\0'),
  };
  {
    XBO_dBaseFld table(path, false, true, "");
    for (std::string bytes : stored) {
      bytes.resize(kWidth, ' ');
      table.BlankRecord();
      std::memcpy(table.Record() + table.FieldOffset(1), bytes.data(), kWidth);
      table.AppendRecord();
    }
  }
  for (const bool translate : {true, false}) {
    for (const bool transliterate : {true, false}) {
      SCOPED_TRACE(std::to_string(translate) + std::to_string(transliterate));
      TXbaseDataSet ds(nullptr);
      ds.SetTableName(path);
      ds.SetTranslateASCII(translate);
      ds.Open();
      TField* name = ds.FieldByName("NAME");
      name->SetTransliterate(transliterate);
      int records = 0;
      for (ds.First(); !ds.Eof(); ds.Next(), ++records) {
        char buffer[kWidth + 8] = {};
        std::string expected;
        if (name->GetData(buffer)) {
          if (transliterate) ds.Translate(buffer, buffer, false);
          expected = buffer;
        }
        EXPECT_EQ(name->AsString(), expected) << "record " << records + 1;
        std::string bytes = stored[records];
        bytes.resize(kWidth, ' ');
        EXPECT_EQ(expected, Expected(bytes, translate && transliterate)) << "record " << records + 1;
      }
      EXPECT_EQ(records, static_cast<int>(std::size(stored)));
    }
  }
}
