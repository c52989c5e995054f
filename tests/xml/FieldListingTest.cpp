// Field names: every field the system's message classes register carries
// its name, a second definition that names a field otherwise is refused, and
// a message text is listed with the names beside the attributes.
#include <gtest/gtest.h>

#include <string>

#include "platform/xml/FieldListing.h"
#include "platform/xml/Registry.h"
#include "platform/xml/StorageLibraryMessages.h"

using tkxml::FieldKind;

namespace {

TEST(XmlFieldNames, EveryFieldOfTheSystemsClassesHasItsName) {
  int fields = 0;
  for (const tkxml::ClassInfoPtr& info : tkxml::allClasses()) {
    if (info->name.rfind("TkTest", 0) == 0) continue;  // this executable's own
    for (const tkxml::FieldDef& f : info->fields) {
      ++fields;
      EXPECT_TRUE(f.name != nullptr && *f.name != '\0') << info->name << " tag " << f.tag;
    }
  }
  EXPECT_GT(fields, 200);
  const tkxml::ClassInfoPtr library = tkxml::findClass(13, 596);
  ASSERT_TRUE(library);
  EXPECT_STREQ(library->fieldName(43), "operation code");
  EXPECT_STREQ(library->fieldName(8), "library name");
  EXPECT_EQ(library->fieldName(2), nullptr) << "a tag the class does not have";
}

TEST(XmlFieldNames, ADefinitionThatNamesAFieldOtherwiseIsRefused) {
  // Namespace 242 belongs to this test.
  EXPECT_TRUE(tkxml::registerClass({"TkTestNames::A", 242, 1, 0xF2000001, {{1, 1, 5, FieldKind::Int64, "size"}}}));
  EXPECT_TRUE(tkxml::registerClass({"TkTestNames::A", 242, 1, 0xF2000001, {{1, 1, 5, FieldKind::Int64, "size"}}}));
  EXPECT_FALSE(tkxml::registerClass({"TkTestNames::A", 242, 1, 0xF2000001, {{1, 1, 5, FieldKind::Int64, "count"}}}));
  EXPECT_FALSE(tkxml::registerClass({"TkTestNames::A", 242, 1, 0xF2000001, {{1, 1, 5, FieldKind::Int64}}}));
  const tkxml::ClassInfoPtr info = tkxml::findClass(242, 1);
  ASSERT_TRUE(info);
  EXPECT_STREQ(info->fieldName(1), "size");
}

std::string operationName(const tkxml::ClassInfo& info, unsigned tag, long long value) {
  if (info.classHash == EVGui::StorageLibraryInfo::kClassHash && tag == 43 && value == 2) return "delete library";
  return std::string();
}

TEST(XmlFieldNames, AMessageIsListedWithTheNamesOfItsFieldsAndOfTheValuesGiven) {
  const std::string text =
      "<EVGui_ConfigureStorageLibraryResp><EVGui_StorageLibraryInfo tag=\"1\" i1=\"3\" s8=\"TAPE-4 &quot;a&quot;\" "
      "i43=\"2\" i70=\"0\" s999=\"x\" odd=\"y\"/></EVGui_ConfigureStorageLibraryResp>";
  std::string out;
  ASSERT_TRUE(tkxml::listFields(text, "  ", out, operationName));
  EXPECT_EQ(out,
            "  EVGui_ConfigureStorageLibraryResp\n"
            "    1 (library description): EVGui_StorageLibraryInfo\n"
            "      i1 (library id): 3\n"
            "      s8 (library name): \"TAPE-4 \\\"a\\\"\"\n"
            "      i43 (operation code): 2 (delete library)\n"
            "      i70 (result code): 0\n"
            "      s999: \"x\"\n"
            "      odd: \"y\"\n");
  // Without a namer the numbers stand alone.
  ASSERT_TRUE(tkxml::listFields(text, "", out));
  EXPECT_NE(out.find("\n    i43 (operation code): 2\n"), std::string::npos) << out;
}

TEST(XmlFieldNames, ClassesAndListsTheRegistryDoesNotNameAreListedByTagAndControlBytesEscaped) {
  std::string out;
  ASSERT_TRUE(tkxml::listFields("<TkTest_Outer s2=\"a&#9;b\\\"><TkTest_Inner tag=\"7\" i1=\"7\"><list tag=\"3\">"
                                "<TkTest_Leaf i0=\"3\" s5=\"first\"/><TkTest_Leaf/></list></TkTest_Inner>"
                                "<Unknown_Class tag=\"9\" i1=\"1\"/></TkTest_Outer>",
                                "", out));
  EXPECT_EQ(out,
            "TkTest_Outer\n"
            "  s2: \"a\\x09b\\\\\"\n"
            "  7: TkTest_Inner\n"
            "    i1: 7\n"
            "    3: list\n"
            "      TkTest_Leaf\n"
            "        i0: 3\n"
            "        s5: \"first\"\n"
            "      TkTest_Leaf\n"
            "  9: Unknown_Class\n"
            "    i1: 1\n");
  EXPECT_FALSE(tkxml::listFields("<TkTest_Outer", "", out));
  EXPECT_EQ(out, "");
  EXPECT_FALSE(tkxml::listFields("", "", out));
}

}  // namespace
