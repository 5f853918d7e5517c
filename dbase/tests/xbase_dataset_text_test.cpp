// String fields read their text straight from the dataset's record; what
// they give must be what the field's buffer and Translate give, whatever
// the stored bytes (blanks, zero bytes, OEM letters) and the translation
// settings.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dbase/dataset/xbase_dataset.h"
#include "dbase/table/dbf_fields.h"
#include "dbase/testing/table_fixtures.h"
#include "testing/temp_dir.h"

TEST(XbaseDatasetText, StringFieldsGiveWhatTheirBufferAndTranslateGive) {
  TempDir data;
  const std::string path = table_test::MakeTable(data.Path(), "TEXTS.DBF", {{"NAME", 'C', 8, 0}}, 0x03);
  const std::string stored[] = {
      std::string("ABC     ", 8),  std::string("        ", 8),  std::string("AB\0CD   ", 8),
      std::string("\0ABC    ", 8), std::string("AB C \0\0\0", 8), std::string("\x8e\x9c\xe7 x   ", 8),
      std::string("12345678", 8),  std::string(" lead\0 \0", 8),
  };
  {
    XBO_dBaseFld table(path, false, true, "");
    for (const std::string& bytes : stored) {
      table.BlankRecord();
      std::memcpy(table.Record() + table.FieldOffset(1), bytes.data(), 8);
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
        char buffer[16] = {};
        std::string expected;
        if (name->GetData(buffer)) {
          if (transliterate) ds.Translate(buffer, buffer, false);
          expected = buffer;
        }
        EXPECT_EQ(name->AsString(), expected) << "record " << records + 1;
      }
      EXPECT_EQ(records, 8);
    }
  }
}
