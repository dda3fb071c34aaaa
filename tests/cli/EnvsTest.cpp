#include <gtest/gtest.h>

#include "base/KeyedTable.h"
#include "cli/Envs.h"

namespace {

// Each test starts from a table holding exactly these entries.
class EnvsTest : public testing::Test {
 protected:
  void Use(const std::vector<Text>& entries) {
    Envs::Vars.Clear();
    Envs::StoreEntries(entries);
  }
  void TearDown() override { Envs::Vars.Clear(); }
};

TEST_F(EnvsTest, ReplacesReferencesInAnyLetterCase) {
  Use({u"HOMEDIR=C:\\Users\\x"});
  EXPECT_EQ(Envs::Expand(u"%HOMEDIR%\\docs"), u"C:\\Users\\x\\docs");
  EXPECT_EQ(Envs::Expand(u"%homedir%\\docs"), u"C:\\Users\\x\\docs");
  EXPECT_EQ(Envs::Expand(u"%HomeDir%\\docs|%homedir%"), u"C:\\Users\\x\\docs|C:\\Users\\x");
}

TEST_F(EnvsTest, LeavesUnknownUnbalancedAndEmptyReferences) {
  Use({u"HOMEDIR=H", u"C=see", u"A=1", u"B=2"});
  EXPECT_EQ(Envs::Expand(u"%NOSUCHVAR%\\x"), u"%NOSUCHVAR%\\x");
  EXPECT_EQ(Envs::Expand(u"50%\\%HOMEDIR%"), u"50%\\%HOMEDIR%");  // three signs
  EXPECT_EQ(Envs::Expand(u"%A%%B%"), u"12");
  EXPECT_EQ(Envs::Expand(u"x%%y"), u"x%%y");
  EXPECT_EQ(Envs::Expand(u"a%b%c%d%"), u"a2c%d%");  // c lies between two tokens: never looked up
  EXPECT_EQ(Envs::Expand(u"no signs"), u"no signs");
  Use({u"C=see"});  // the closing "%" of %b% opens no %c%, though C is known and B is not
  EXPECT_EQ(Envs::Expand(u"a%b%c%d%"), u"a%b%c%d%");
}

TEST_F(EnvsTest, NamesLoseParenthesesAndLaterEntriesWin) {
  Use({u"A(B)=paren", u"ProgramFiles(x86)=C:\\PF86", u"X)=close", u"dup=first", u"DUP=second",
       u"=C:=C:\\hidden", u"=ExitCode=00000001"});
  EXPECT_EQ(Envs::Expand(u"%AB%|%ab%|%A(B)%"), u"paren|paren|%A(B)%");
  EXPECT_EQ(Envs::Expand(u"%ProgramFilesx86%"), u"C:\\PF86");
  EXPECT_EQ(Envs::Expand(u"%X)%"), u"close");  // no "(" in the name: ")" stays
  EXPECT_EQ(Envs::Expand(u"%dup%"), u"second");
  // Hidden entries have an empty name and are skipped.
  EXPECT_EQ(Envs::Vars.Size(), 4u);
  EXPECT_EQ(Envs::Expand(u"%=C:%"), u"%=C:%");
}

TEST_F(EnvsTest, EmptyKeyOnlyFromParenthesesAlone) {
  Use({u"()=empty"});
  EXPECT_EQ(Envs::Expand(u"x%%y"), u"xemptyy");
}

TEST_F(EnvsTest, ValuesAreInsertedVerbatim) {
  Use({u"P=%Q%", u"Q=q"});
  // Whether %Q% brought in by P is replaced depends on the visiting order.
  const bool qAfterP = KeyedTable::SlotOf(u"%Q%") > KeyedTable::SlotOf(u"%P%");
  EXPECT_EQ(Envs::Expand(u"%P%"), u"%Q%");  // no token %Q% in the text itself
  EXPECT_EQ(Envs::Expand(u"%P%-%Q%"), qAfterP ? u"q-q" : u"%Q%-q");
}

TEST_F(EnvsTest, TokensAreVisitedInSlotOrderThenNewestFirst) {
  // %B% is taken before %A% exactly when its slot is lower.
  ASSERT_LT(KeyedTable::SlotOf(u"%B%"), KeyedTable::SlotOf(u"%A%"));
  Use({u"A=%B%", u"B=b"});
  EXPECT_EQ(Envs::Expand(u"%A%%B%"), u"%B%b");  // %B% was replaced before A brought one in

  // Two tokens in one slot: the one that appears later in the text first.
  Text first = u"%T0%", second;
  for (int i = 1; i < 100000 && second.empty(); ++i) {
    const Text candidate = u"%T" + DecimalText(i) + u"%";
    if (KeyedTable::SlotOf(candidate) == KeyedTable::SlotOf(first)) second = candidate;
  }
  ASSERT_FALSE(second.empty());
  const Text firstName = first.substr(1, first.size() - 2), secondName = second.substr(1, second.size() - 2);
  Use({firstName + u"=" + second, secondName + u"=" + first});
  // `second` is visited first and rewrites its own occurrence into `first`,
  // which is visited next and rewritten into `second`.
  EXPECT_EQ(Envs::Expand(first + second), second + second);
}

TEST_F(EnvsTest, OnlyAsciiLettersFoldWhenReplacing) {
  Use({u"\u00E4X=umlaut"});  // stored under the upper-cased key
  EXPECT_EQ(Envs::Vars.Size(), 1u);
  EXPECT_EQ(Envs::Expand(u"%\u00C4x%"), u"umlaut");
  EXPECT_EQ(Envs::Expand(u"%\u00E4x%"), u"%\u00E4x%");
}

TEST_F(EnvsTest, ChainsOfReferencesStopGrowing) {
  // Each variable's value names the next one twice, 25 deep, and the tokens
  // are taken in chain order: a text naming them all would double 25 times.
  std::vector<Text> bySlot(KeyedTable::kSlots), names, entries;
  for (int k = 0; k < 10000; ++k) {
    const Text name = u"V" + DecimalText(k);
    Text& held = bySlot[KeyedTable::SlotOf(u"%" + name + u"%")];
    if (held.empty()) held = name;
  }
  for (const Text& name : bySlot) {
    if (!name.empty() && names.size() < 26) names.push_back(name);
  }
  ASSERT_EQ(names.size(), 26u);
  Text text;
  for (size_t i = 0; i < names.size(); ++i) {
    text += u"%" + names[i] + u"%";
    if (i + 1 < names.size())
      entries.push_back(names[i] + u"=%" + names[i + 1] + u"%%" + names[i + 1] + u"%");
  }
  Use(entries);
  const Text expanded = Envs::Expand(text);
  EXPECT_GT(expanded.size(), Envs::kMaxExpandedLength);
  EXPECT_LE(expanded.size(), 2 * Envs::kMaxExpandedLength + entries.back().size());
  EXPECT_EQ(Envs::Expand(text), expanded);
  // Short of the limit everything is expanded as before: 1 + 2 copies of %V24%, each made two of %V25%.
  Text six;
  for (int i = 0; i < 6; ++i) six += u"%" + names[25] + u"%";
  EXPECT_EQ(Envs::Expand(u"%" + names[23] + u"%%" + names[24] + u"%"), six);
}

// Load works once per process, so these run in a process of their own.
TEST(EnvsLoadDeath, ReadsTheEnvironmentOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto check = [] {
    Envs::Vars.Clear();
    if (!Envs::Load() || Envs::Vars.Find(u"TZ") == nullptr) return 1;  // TZ is set for every run
    Envs::Vars.Clear();
    if (!Envs::Load() || !Envs::Vars.Empty()) return 2;  // the second call reads nothing
    return 0;
  };
  EXPECT_EXIT(std::exit(check()), testing::ExitedWithCode(0), "");
}

}  // namespace
